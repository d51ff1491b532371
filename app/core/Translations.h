#pragma once

class QCoreApplication;

// Installs the translators for the user's language: Qt's own (standard
// buttons and dialogs) and the program's, from
// <program folder>/../share/corvinaport/translations (the same in the build
// tree and once installed; a tool of the build tree looks one folder higher). The C locale loads
// none, so every text stays as written; English loads only the program's plural forms of texts with
// a count
// ("1 attempt").
void LoadTranslations(QCoreApplication& app);
