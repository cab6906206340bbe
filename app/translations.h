// Qt's own Czech texts for its standard widgets (the context menu of a text
// box, for one), so that nothing the toolkit draws reads English.
#pragma once

#include <QString>

class QCoreApplication;

namespace vp {

// Loads Qt's Czech translation from `folder` (by default where Qt keeps its
// translations) and installs it. Returns false, and leaves Qt's English, when
// it is not there.
bool installStandardTranslations(QCoreApplication& app, const QString& folder = {});

} // namespace vp
