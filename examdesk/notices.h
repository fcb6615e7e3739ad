// The test-taking program's message boxes outside the test: the second-instance notice, and
// message text whose file path must be read whole.
#pragma once

#include "common/multilanguage.h"

#include <QString>
#include <memory>

class QMessageBox;

namespace examdesk {

// The notice that the program runs already: the program's own title, wide enough for the
// title bar to show it whole beside its buttons, and an OK button only.
std::unique_ptr<QMessageBox> alreadyRunningBox(const CmultiLanguage &table);

// text with every occurrence of path kept on one line when laid out: no break inside it,
// not after a "/", at a blank nor between two Chinese characters.
QString withPathUnbroken(const QString &text, const QString &path);

} // namespace examdesk
