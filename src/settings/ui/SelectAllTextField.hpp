#pragma once

#include <QLineEdit>
#include <functional>

namespace mosaiko {

// A one-line field in a monospaced semibold font whose text follows an owner's draft: every edit
// reaches the owner at once, Return calls `onSubmit` and goes no further (not to the dialog's
// default button), and with `autoFocus` the field takes the focus and selects its whole text once,
// when it is first shown.
class SelectAllTextField final : public QLineEdit {
  public:
    SelectAllTextField(const QString& text, bool autoFocus, std::function<void()> onSubmit,
                       std::function<void(const QString&)> onTextChanged, QWidget* parent = nullptr);

    // Shows the owner's text; an equal text leaves the field (and its cursor) alone.
    void setBoundText(const QString& text);
    bool needsSelectAll() const { return needsSelectAll_; }

  protected:
    void keyPressEvent(QKeyEvent* event) override;
    void showEvent(QShowEvent* event) override;

  private:
    void scheduleFocusAndSelect();
    void focusAndSelect();

    std::function<void()> onSubmit_;
    bool needsSelectAll_;
};

}  // namespace mosaiko
