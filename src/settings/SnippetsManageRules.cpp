#include "settings/SnippetsManageRules.hpp"

#include <algorithm>

#include "content/CustomContentStore.hpp"
#include "platform/Text.hpp"

namespace mosaiko {

bool SnippetsManageRules::canAddSnippet(std::string_view name, std::string_view shortcodesText,
                                        std::string_view insertText) {
    return !text::isBlank(name) && !text::isBlank(insertText) &&
           !CustomContentStore::parseTokens(shortcodesText).empty();
}

void SnippetsManageRules::addSnippet(CustomContentStore& custom, const Form& form) {
    custom.addSnippet(form.name, form.insertText, CustomContentStore::parseTokens(form.shortcodes),
                      CustomContentStore::parseTokens(form.keywords));
}

std::optional<std::string> SnippetsManageRules::deleteSnippet(const std::optional<std::string>& id,
                                                              CustomContentStore& custom) {
    if (!id) return std::nullopt;
    auto kept = custom.snippets();
    std::erase_if(kept, [&](const CustomSnippet& snippet) { return snippet.id == *id; });
    custom.snippets.set(std::move(kept));
    return std::nullopt;
}

std::string SnippetsManageRules::shortcodeLine(const CustomSnippet& snippet) {
    return ":" + (snippet.shortcodes.empty() ? std::string() : snippet.shortcodes.front()) + ":";
}

std::string SnippetsManageRules::standaloneSubtitle(std::string_view inlineTrigger) {
    return "Create your own " + std::string(inlineTrigger) +
           "shortcodes that insert an emoji or any text snippet (e.g. emoticons). Shortcodes are written "
           "without the trigger character.";
}

double SnippetsManageRules::embeddedListHeight(double availableHeight) {
    return std::max(availableHeight - 360, 300.0);
}

}  // namespace mosaiko
