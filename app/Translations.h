#pragma once

class QCoreApplication;

// Installs the translators for the user's language: Qt's own (standard
// buttons and dialogs) and the program's, from
// <program folder>/../share/corvinaport/translations (the same in the build
// tree and once installed). The C locale and English load none, so every text
// stays as written.
void LoadTranslations(QCoreApplication& app);
