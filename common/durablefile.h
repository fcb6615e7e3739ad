// Replacing a file's whole content so that a crash leaves either the old or the new file.
#pragma once

#include <QByteArray>
#include <QString>

// Writes data to a temporary file beside path, flushes it to disk, renames it over path
// and flushes the folder. On failure error says why; path is untouched, except when only
// the folder could not be flushed: then path may hold the new data, not yet durably.
bool writeFileDurably(const QString &path, const QByteArray &data, QString *error = nullptr);
