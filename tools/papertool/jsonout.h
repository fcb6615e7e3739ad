// Writing JSON text by hand, so that keys keep the order a reader expects.
#pragma once

#include <QString>

// text as a JSON string literal, quotes included; characters beyond ASCII stay as they are.
QString jsonString(const QString &text);
