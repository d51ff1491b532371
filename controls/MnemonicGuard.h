#pragma once

#include <QObject>

class QApplication;

// Keeps Alt+letter out of text fields: a mnemonic whose button is disabled
// (or that names nothing) is not taken by any shortcut, and the focused field
// would otherwise type its letter. Installed once on the application.
class MnemonicGuard : public QObject {
    Q_OBJECT
  public:
    static void Install(QApplication& app);

    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    using QObject::QObject;
};
