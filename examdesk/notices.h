// The test-taking program's message boxes outside the test: the second-instance notice.
#pragma once

#include "multilanguage.h"

#include <QString>
#include <memory>

class QMessageBox;

namespace examdesk {

// The notice that the program runs already: the program's own title, wide enough for the
// title bar to show it whole beside its buttons, and an OK button only.
std::unique_ptr<QMessageBox> alreadyRunningBox(const CmultiLanguage &table);

} // namespace examdesk
