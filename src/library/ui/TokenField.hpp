#pragma once

#include <QLineEdit>
#include <functional>
#include <string>
#include <vector>

namespace mosaiko {

// A one-line field for a list of tokens (shortcodes, keywords), shown joined with ", ". Every edit
// is parsed into tokens at once and reported, but the text the user is typing is left alone: a
// field that showed the parsed list after every key would swallow each comma or space as it is
// typed. The field shows the list in its normal form again once it loses the focus.
class TokenField final : public QLineEdit {
    Q_OBJECT

  public:
    explicit TokenField(QWidget* parent = nullptr);

    // Shows `tokens` joined with ", ", unless the user is typing in the field.
    void setTokens(std::vector<std::string> tokens);
    const std::vector<std::string>& tokens() const { return tokens_; }

    // The tokens parsed from the text after each edit.
    std::function<void(const std::vector<std::string>&)> onTokensChanged;

    static QString joined(const std::vector<std::string>& tokens);

  protected:
    void focusOutEvent(QFocusEvent* event) override;

  private:
    void showTokens();

    std::vector<std::string> tokens_;
};

}  // namespace mosaiko
