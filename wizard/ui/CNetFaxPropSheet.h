#pragma once

#include <QDialog>
#include <QPointer>
#include <functional>
#include <vector>

#include "controls/WizardPage.h"

class QLabel;
class QPushButton;
class QStackedWidget;

// The wizard: a white sheet that shows one page at a time with Back, Next or
// Finish, Cancel and Help. A page's "stay" answer refuses the step. Exec ends
// with 1 after Finish and 2 after Cancel or closing the window.
class CNetFaxPropSheet : public QDialog, public WizardSheet {
    Q_OBJECT
  public:
    static constexpr int kFinished = 1;
    static constexpr int kCancelled = 2;
    // Room the window frame takes around the sheet on a desktop.
    static constexpr int kFrameAllowance = 40;

    explicit CNetFaxPropSheet(QWidget* parent = nullptr);
    ~CNetFaxPropSheet() override;

    // The sheet does not own its pages.
    void AddPage(WizardPage* page);
    // A page made when first shown or asked for (make returns it, and the
    // same page every time): pages never shown cost nothing at start.
    void AddPage(std::function<WizardPage*()> make);
    // Puts page at index (the end when past it); the active page stays.
    void InsertPage(int index, WizardPage* page);
    // Takes page out of the set; the active page cannot be taken out.
    bool RemovePage(WizardPage* page);
    // The index of page in the set, or -1. Makes the pages not made yet
    // when page is not among the others.
    [[nodiscard]] int IndexOf(const WizardPage* page) const;
    void SetWizardMode() { wizardMode_ = true; }
    [[nodiscard]] bool wizardMode() const { return wizardMode_; }
    // The sheet's Help flag: no Help button at all while it is clear.
    void SetHasHelp(bool on);
    [[nodiscard]] bool hasHelp() const { return hasHelp_; }
    // Asked before Finish ends the sheet; false keeps the wizard open.
    void SetFinishCheck(std::function<bool()> check) { finishCheck_ = std::move(check); }

    void SetWizardButtons(unsigned flags) override;
    [[nodiscard]] unsigned wizardButtons() const { return buttons_; }

    // Shows the first page and runs the sheet modally.
    int DoModal();
    void EndSheet(int result);
    // Shows page index when the page allows it.
    bool SetActivePage(int index);

    [[nodiscard]] int pageCount() const { return static_cast<int>(pages_.size()); }
    // The page at index, made now if it was not yet.
    [[nodiscard]] WizardPage* page(int index) const;
    [[nodiscard]] int activeIndex() const { return active_; }
    [[nodiscard]] WizardPage* activePage() const { return page(active_); }

    // The buttons, as the user presses them.
    bool PressBack();
    bool PressNext();
    bool PressFinish();
    void PressCancel();
    void PressHelp();

    [[nodiscard]] QPushButton* backButton() const { return back_; }
    [[nodiscard]] QPushButton* nextButton() const { return next_; }
    [[nodiscard]] QPushButton* finishButton() const { return finish_; }
    [[nodiscard]] QPushButton* cancelButton() const { return cancel_; }
    [[nodiscard]] QPushButton* helpButton() const { return help_; }

  signals:
    // Help pressed (or F1 away from any control), with the active page's index.
    void helpRequested(int activeIndex);

  public slots:
    void reject() override;

  protected:
    void paintEvent(QPaintEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;

  private:
    void Activate(int index);
    void UpdateHelpButton();
    // Makes the page at index if it is a maker's; the page there.
    WizardPage* Made(std::size_t index) const;
    // Grows a shown sheet to the room its pages ask for, as far as the
    // screen allows: a page made later may ask for more than the first.
    void FitPages() const;
    [[nodiscard]] QSize FittingSize() const;

    // A place in the set: its page, or the maker of one not made yet.
    struct Place {
        QPointer<WizardPage> page;
        std::function<WizardPage*()> make;
    };
    // Made on first use, also by const members: the set stays the same.
    mutable std::vector<Place> pages_;
    QStackedWidget* stack_;
    QPushButton *back_, *next_, *finish_, *cancel_, *help_;
    int active_ = -1;
    unsigned buttons_ = 0;
    bool wizardMode_ = false;
    bool hasHelp_ = true;
    bool ending_ = false;
    bool sized_ = false;
    std::function<bool()> finishCheck_;
};
