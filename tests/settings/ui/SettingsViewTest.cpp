#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QPainter>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QSlider>
#include <QTabWidget>

#include "platform/qt/Typography.hpp"
#include "settings/ui/CustomSearchTriggerEditorSheet.hpp"
#include "settings/ui/GeneralTab.hpp"
#include "settings/ui/InfoTab.hpp"
#include "settings/ui/LibraryShortcutSheet.hpp"
#include "settings/ui/OpenModesCard.hpp"
#include "settings/ui/SelectAllTextField.hpp"
#include "settings/ui/SettingsStyle.hpp"
#include "settings/ui/SettingsUiFixture.hpp"
#include "settings/ui/UpdaterStatusCard.hpp"
#include "support/SchemeSwitch.hpp"

namespace mosaiko::testing {
namespace {

using Tab = SettingsView::Tab;
using Strings = std::vector<std::string>;

std::string text(const QLabel* label) {
    return label->text().toStdString();
}

struct SettingsViewTest : SettingsUiFixture {
    GeneralTab& general() { return *static_cast<GeneralTab*>(view->tabContent(Tab::general)); }
    OpenModesCard& openModes() { return *general().openModesCard(); }
    CustomSearchTriggerEditorSheet* triggerSheet() {
        return static_cast<CustomSearchTriggerEditorSheet*>(view->customSearchTriggerSheet());
    }
    LibraryShortcutSheet* shortcutSheet() {
        return static_cast<LibraryShortcutSheet*>(view->libraryShortcutSheet());
    }
};

TEST_F(SettingsViewTest, SixTabsAndOneSeamForTheirContent) {
    open();
    QTabWidget* tabs = view->tabWidget();
    Strings titles;
    for (int i = 0; i < tabs->count(); ++i) titles.push_back(tabs->tabText(i).toStdString());
    EXPECT_EQ(titles, (Strings{"General", "Excluded Apps", "Pins", "Emoticon", "Shortcodes", "Info"}));
    EXPECT_EQ(tabs->currentIndex(), 0);

    tabs->setCurrentIndex(5);
    auto pins = std::make_unique<QLabel>(QStringLiteral("pins"));
    QLabel* shown = pins.get();
    view->setTabContent(Tab::pins, std::move(pins));
    EXPECT_EQ(view->tabContent(Tab::pins), shown);
    EXPECT_EQ(tabs->widget(2), shown);
    EXPECT_EQ(tabs->currentIndex(), 5) << "placing a tab keeps the selection";
    EXPECT_EQ(view->state().tab(), Tab::info);
    auto excluded = std::make_unique<QLabel>(QStringLiteral("apps"));
    QLabel* apps = excluded.get();
    view->setTabContent(Tab::excludedApps, std::move(excluded));
    EXPECT_TRUE(tabs->widget(1)->isAncestorOf(apps)) << "inside the tab's padding";
}

// Where a sequence's text leaves ink, per column range: its height and how much of that is solid.
struct Ink {
    int height = 0;
    int solid = 0;  // pixels at least half covered
};

Ink inkIn(const QImage& image, int from, int to) {
    int top = image.height();
    int bottom = -1;
    Ink ink;
    for (int y = 0; y < image.height(); ++y)
        for (int x = from; x < to; ++x) {
            const int coverage = 255 - qGray(image.pixel(x, y));
            if (coverage < 40) continue;
            top = std::min(top, y);
            bottom = std::max(bottom, y);
            if (coverage >= 128) ++ink.solid;
        }
    ink.height = bottom - top + 1;
    return ink;
}

// The visible-space symbol exists to make a space visible: its ink is as tall as a capital beside
// it and about as heavy, in every font the windows draw sequences in.
TEST(VisibleSequence, TheSpaceSymbolReadsAsClearlyAsTheLettersBesideIt) {
    for (const QFont& font : {Typography::monospaced(11), Typography::monospaced(12, QFont::DemiBold),
                              Typography::monospaced(13, QFont::DemiBold), Typography::system(11)}) {
        const QString letter = QStringLiteral("X");
        const double letterWidth = SettingsStyle::sequenceWidth(font, letter);
        const double symbolWidth = SettingsStyle::sequenceWidth(font, QStringLiteral("\u2420"));
        ASSERT_GT(symbolWidth, 0);
        QImage image(static_cast<int>(std::ceil(letterWidth + symbolWidth)) + 4, 40, QImage::Format_RGB32);
        image.fill(Qt::white);
        {
            QPainter painter(&image);
            painter.setPen(Qt::black);
            SettingsStyle::drawSequence(painter, QRectF(image.rect()), Qt::AlignLeft, font,
                                        letter + QStringLiteral("\u2420"));
        }
        const int split = static_cast<int>(std::lround(letterWidth));
        const Ink x = inkIn(image, 0, split);
        const Ink symbol = inkIn(image, split, image.width());
        EXPECT_GE(symbol.height, x.height - 1) << font.toString().toStdString();
        EXPECT_GE(symbol.solid, x.solid * 2 / 3) << font.toString().toStdString();
    }
}

TEST_F(SettingsViewTest, OpenModesRowsFollowTheStore) {
    prefs.setInlineTrigger("");
    open();
    OpenModesCard& card = openModes();
    EXPECT_EQ(text(card.inlineSearchBadge()), "Disabled");
    EXPECT_EQ(card.inlineSearchEditButton()->text(), QStringLiteral("Set Shortcut..."));
    EXPECT_FALSE(card.inlineSearchDisableButton()->isVisible());
    EXPECT_TRUE(card.inlineSearchNote()->isVisible());
    EXPECT_EQ(text(card.libraryShortcutBadge()), "Disabled");

    prefs.setInlineTrigger(" <b>");
    prefs.setLibraryShortcut(KeyboardShortcut{14, ModifierFlag::control | ModifierFlag::option, "e"});
    settle();
    EXPECT_EQ(text(card.inlineSearchBadge()), "␠<b>");
    EXPECT_EQ(card.inlineSearchBadge()->textFormat(), Qt::PlainText);
    EXPECT_EQ(text(card.inlineSearchExample()), "␠<b>red");
    EXPECT_EQ(card.inlineSearchEditButton()->text(), QStringLiteral("Edit..."));
    EXPECT_TRUE(card.inlineSearchDisableButton()->isVisible());
    EXPECT_EQ(text(card.libraryShortcutBadge()), "Ctrl+Alt+E");
    click(card.libraryShortcutDisableButton());
    EXPECT_FALSE(prefs.libraryShortcut());

    prefs.setInlineTrigger(";;");
    card.instantOpenPicker()->activated(1);  // ";; (double semicolon)"
    settle();
    EXPECT_EQ(card.instantOpenPicker()->currentText(), QStringLiteral(":: (double colon)"));
    ASSERT_TRUE(card.collisionNotice()->isVisible());
    EXPECT_EQ(text(card.collisionNotice()),
              "Instant open moved to `::` because `;;` is already used for inline search.");
    card.instantOpenTabMenu()->actions().at(2)->trigger();
    settle();
    EXPECT_EQ(prefs.quickOpenTarget(), QuickOpenTarget::shortcodes);
    EXPECT_EQ(card.instantOpenTabButton()->text(), QStringLiteral("Shortcodes"));
    for (QAction* target : card.instantOpenTabMenu()->actions()) {
        target->trigger();
        settle();
        EXPECT_EQ(card.instantOpenTabButton()->shownText(), target->text()) << "whole: it fits";
    }
    EXPECT_TRUE(card.collisionNotice()->isVisible());
    click(card.setToDefaultsButton());
    EXPECT_FALSE(card.collisionNotice()->isVisible());
}

TEST_F(SettingsViewTest, GeneralControlsWriteTheStore) {
    prefs.setPopupDelayMs(1730);
    open();
    EXPECT_EQ(text(general().popupDelayValueLabel()), "1730 ms") << "its own number, out of range";
    general().popupDelaySlider()->setValue(0);
    settle();
    EXPECT_EQ(prefs.popupDelayMs(), 0);
    general().popupDelaySlider()->setValue(general().popupDelaySlider()->maximum());
    settle();
    EXPECT_EQ(prefs.popupDelayMs(), 1500);
    EXPECT_EQ(text(general().popupDelayValueLabel()), "1500 ms");

    click(general().skinToneButtons()[3]);
    EXPECT_EQ(prefs.defaultSkinTone(), SkinTone::medium);
    int highlighted = 0;
    for (auto* button : general().skinToneButtons()) highlighted += button->isHighlighted() ? 1 : 0;
    EXPECT_EQ(highlighted, 1);
    EXPECT_TRUE(general().skinToneButtons()[3]->isHighlighted());

    general().launchAtLoginToggle()->click();
    EXPECT_FALSE(prefs.launchAtLoginEnabled());
    general().searchSortPriorityPicker()->activated(1);
    EXPECT_EQ(prefs.searchSortPriority(), SearchSortPriority::emoticonsFirst);

    click(general().resetAllButton());
    QMessageBox* alert = view->resetAllSettingsAlert();
    ASSERT_TRUE(alert && alert->isVisible());
    EXPECT_GE(alert->width(), 420) << "not a narrow column";
    EXPECT_EQ(prefs.defaultSkinTone(), SkinTone::medium) << "asking resets nothing";
    for (QAbstractButton* button : alert->buttons()) {
        if (button->text() == QStringLiteral("Reset")) button->click();
    }
    settle();
    EXPECT_FALSE(view->resetAllSettingsAlert());
    EXPECT_EQ(prefs.defaultSkinTone(), SkinTone::defaultTone);
    EXPECT_TRUE(prefs.launchAtLoginEnabled());
}

TEST_F(SettingsViewTest, PopupDelaySliderStandsAtTheStoredDelayAndItsFirstMoveStoresAStep) {
    open();
    QSlider* slider = general().popupDelaySlider();
    struct Case {
        std::int64_t stored;
        int shownAt;
        std::function<void()> move;
        std::int64_t after;
    };
    const auto key = [slider](Qt::Key k) { return [slider, k] { QTest::keyClick(slider, k); }; };
    const auto dragAtTheEnd = [slider] {
        slider->setSliderDown(true);
        slider->setSliderPosition(slider->maximum());
        slider->setSliderDown(false);
    };
    const std::vector<Case> cases = {
        {325, 325, key(Qt::Key_Right), 350},    {325, 325, key(Qt::Key_Left), 300},
        {300, 300, key(Qt::Key_Right), 350},    {2000, 1500, key(Qt::Key_End), 1500},
        {2000, 1500, key(Qt::Key_Right), 1500}, {2000, 1500, dragAtTheEnd, 1500},
        {2000, 1500, key(Qt::Key_Left), 1450},  {-40, 0, key(Qt::Key_Home), 0},
    };
    for (const Case& c : cases) {
        prefs.setPopupDelayMs(c.stored);
        settle();
        EXPECT_EQ(slider->value(), c.shownAt) << c.stored;
        c.move();
        settle();
        EXPECT_EQ(prefs.popupDelayMs(), c.after) << c.stored;
        EXPECT_EQ(slider->value(), c.after) << c.stored;
    }
}

TEST_F(SettingsViewTest, LaunchAtLoginIsUnavailableWithItsReasonFromTheBuildFolder) {
    launchAtLoginUnavailable =
        "Mosaiko runs from its build folder (/src/build), so it does not start at login.";
    open();
    QCheckBox* toggle = general().launchAtLoginToggle();
    EXPECT_FALSE(toggle->isEnabled());
    EXPECT_FALSE(toggle->isChecked()) << "nothing is registered";
    ASSERT_TRUE(general().launchAtLoginNote()->isVisible());
    EXPECT_EQ(text(general().launchAtLoginNote()), *launchAtLoginUnavailable);
    EXPECT_TRUE(prefs.launchAtLoginEnabled()) << "the stored choice stays";
}

TEST_F(SettingsViewTest, TriggerEditorSubmitsEachReturnOnce) {
    prefs.setOpeningSequenceBlocklist({";x"});
    open();
    click(openModes().inlineSearchEditButton());
    CustomSearchTriggerEditorSheet* sheet = triggerSheet();
    ASSERT_TRUE(sheet && sheet->isVisible());
    SelectAllTextField* trigger = sheet->triggerField();
    EXPECT_TRUE(trigger->hasFocus());
    EXPECT_EQ(trigger->selectedText(), QStringLiteral(";")) << "selected once, on opening";
    EXPECT_EQ(text(sheet->previewLabel()), ";");
    EXPECT_FALSE(sheet->entryField()->hasFocus());

    QTest::keyClick(trigger, Qt::Key_Backspace);
    settle();
    EXPECT_EQ(text(sheet->previewLabel()), "Empty");
    EXPECT_FALSE(sheet->okButton()->isEnabled());
    QTest::keyClick(trigger, Qt::Key_Return);
    settle();
    EXPECT_TRUE(sheet->isVisible()) << "nothing usable: the sheet stays";

    QTest::keyClicks(trigger, QStringLiteral("::"));
    settle();
    EXPECT_TRUE(sheet->okButton()->isEnabled());

    SelectAllTextField* entry = sheet->entryField();
    entry->setFocus();
    QTest::keyClicks(entry, QStringLiteral(";X"));
    settle();
    EXPECT_FALSE(sheet->addButton()->isEnabled()) << "a duplicate ignoring case";
    EXPECT_TRUE(sheet->entryPreviewLabel()->isVisible());
    QTest::keyClick(entry, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(entry, QStringLiteral("; <i>"));
    settle();
    EXPECT_TRUE(sheet->addButton()->isEnabled());
    EXPECT_EQ(text(sheet->entryPreviewLabel()), ";\u2420<i>") << "plain text, its space shown";
    QTest::keyClick(entry, Qt::Key_Return);
    settle();
    ASSERT_TRUE(triggerSheet()) << "Return in the entry field only adds";
    EXPECT_EQ(view->state().customSearchTriggerBlocklistDraft(), (Strings{";x", "; <i>"}));
    EXPECT_EQ(entry->text(), QString());
    EXPECT_FALSE(trigger->needsSelectAll());
    EXPECT_EQ(prefs.openingSequenceBlocklist(), Strings{";x"}) << "drafts only";
    std::vector<QLabel*> rows = sheet->rowLabels();
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(text(rows[1]), ";␠<i>");
    click(sheet->removeButtons()[0]);
    EXPECT_EQ(view->state().customSearchTriggerBlocklistDraft(), Strings{"; <i>"});

    trigger->setFocus();
    QTest::keyClick(trigger, Qt::Key_Return);
    settle();
    EXPECT_FALSE(view->customSearchTriggerSheet());
    EXPECT_EQ(prefs.inlineTrigger(), "::");
    EXPECT_EQ(prefs.openingSequenceBlocklist(), Strings{"; <i>"});
}

TEST_F(SettingsViewTest, BlocklistBoxGrowsWithItsRowsAndRemoveKeepsFocusAndPlace) {
    open();
    click(openModes().inlineSearchEditButton());
    CustomSearchTriggerEditorSheet* sheet = triggerSheet();
    ASSERT_TRUE(sheet);
    QScrollArea* box = sheet->listArea();
    const auto show = [&](int count) {
        Strings entries;
        for (int i = 0; i < count; ++i) entries.push_back(";" + std::to_string(i));
        prefs.setOpeningSequenceBlocklist(entries);
        view->state().prepareCustomSearchTriggerEditor();
        settle();
        return sheet->removeButtons();
    };
    const int row = show(1).front()->parentWidget()->height();
    EXPECT_LE(box->height(), row + 2) << "one row, no more";
    EXPECT_FALSE(box->verticalScrollBar()->isVisible());
    show(3);
    EXPECT_GE(box->height(), 3 * row);
    EXPECT_FALSE(box->verticalScrollBar()->isVisible());
    std::vector<QPushButton*> removes = show(12);
    EXPECT_EQ(box->height(), 148);
    ASSERT_TRUE(box->verticalScrollBar()->isVisible());

    box->verticalScrollBar()->setValue(row * 3);
    const int scrolled = box->verticalScrollBar()->value();
    removes[5]->setFocus();
    click(removes[5]);
    EXPECT_EQ(view->state().customSearchTriggerBlocklistDraft().size(), 11u);
    EXPECT_EQ(box->verticalScrollBar()->value(), scrolled) << "the list stays where it was";
    EXPECT_EQ(QApplication::focusWidget(), sheet->removeButtons()[5]) << "the next row's Remove";
    EXPECT_FALSE(sheet->triggerField()->hasFocus());
}

TEST_F(SettingsViewTest, EscapeDropsTheDrafts) {
    open();
    click(openModes().inlineSearchEditButton());
    QTest::keyClicks(triggerSheet()->triggerField(), QStringLiteral("zz"));
    settle();
    QTest::keyClick(triggerSheet(), Qt::Key_Escape);
    settle();
    EXPECT_FALSE(view->customSearchTriggerSheet());
    EXPECT_FALSE(view->state().isShowingCustomSearchTriggerSheet());
    EXPECT_EQ(prefs.inlineTrigger(), ";");
    EXPECT_EQ(view->state().customSearchTriggerDraft(), ";");
}

TEST_F(SettingsViewTest, RecorderTakesTheCombinationBeforeTheWindowsShortcuts) {
    open();
    int windowShortcutFired = 0;
    auto* action = new QAction(view.get());
    action->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_K));
    QObject::connect(action, &QAction::triggered, [&] { ++windowShortcutFired; });
    view->addAction(action);

    click(openModes().libraryShortcutEditButton());
    LibraryShortcutSheet* sheet = shortcutSheet();
    ASSERT_TRUE(sheet && sheet->isVisible());
    EXPECT_EQ(suspensions, std::vector<bool>{true});
    EXPECT_EQ(text(sheet->currentShortcutLabel()), "Disabled");
    EXPECT_FALSE(sheet->disableButton()->isEnabled());
    ASSERT_TRUE(sheet->recorder()->hasFocus()) << "keys reach it without a click";

    QTest::keyClick(sheet->recorder(), Qt::Key_K, Qt::ShiftModifier);
    QTest::keyClick(sheet->recorder(), Qt::Key_Return, Qt::ControlModifier);
    settle();
    EXPECT_FALSE(prefs.libraryShortcut()) << "no Control, Option or Command; or no printable key";
    QTest::keyClick(sheet->recorder(), Qt::Key_K, Qt::ControlModifier | Qt::ShiftModifier);
    settle();
    EXPECT_EQ(windowShortcutFired, 0);
    EXPECT_EQ(prefs.libraryShortcut(),
              (KeyboardShortcut{40, ModifierFlag::shift | ModifierFlag::control, "k"}));
    EXPECT_FALSE(view->libraryShortcutSheet());
    EXPECT_EQ(suspensions, (std::vector<bool>{true, false}));
    EXPECT_EQ(text(openModes().libraryShortcutBadge()), "Ctrl+Shift+K");

    click(openModes().libraryShortcutEditButton());
    QTest::keyClick(shortcutSheet()->recorder(), Qt::Key_Escape);
    settle();
    EXPECT_FALSE(view->libraryShortcutSheet());
    EXPECT_TRUE(prefs.libraryShortcut()) << "Escape changes nothing";
    EXPECT_EQ(suspensions, (std::vector<bool>{true, false, true, false}));
}

TEST_F(SettingsViewTest, ACombinationThatNeverArrivesIsTakenByAnotherProgram) {
    open();
    click(openModes().libraryShortcutEditButton());
    LibraryShortcutSheet* sheet = shortcutSheet();
    ASSERT_TRUE(sheet && keyObserver);
    const KeyEvent superE{KeyEvent::Type::keyDown, 14, ModifierFlag::command, "e", "e", 0};
    const KeyEvent ctrlK{KeyEvent::Type::keyDown, 40, ModifierFlag::control, "\x0b", "k", 0};
    keyObserver(KeyEvent{KeyEvent::Type::keyDown, 0, 0, "a", "a", 0});  // not a combination
    keyObserver(superE);
    ASSERT_TRUE(QTest::qWaitFor([&] { return sheet->takenNotice()->isVisible(); }, 5000));
    EXPECT_EQ(text(sheet->takenNotice()), "Super+E is taken by another program. Try another combination.");
    EXPECT_FALSE(prefs.libraryShortcut());
    EXPECT_TRUE(view->libraryShortcutSheet());

    // Seen by the key tap and received by the sheet: recorded.
    sheet->takenNotice()->hide();
    keyObserver(ctrlK);
    QTest::keyClick(sheet->recorder(), Qt::Key_K, Qt::ControlModifier);
    settle();
    EXPECT_EQ(prefs.libraryShortcut(), (KeyboardShortcut{40, ModifierFlag::control, "k"}));
    EXPECT_FALSE(keyObserver) << "no observer once the sheet is closed";

    // With a button focused (one Tab), a combination is still the recorder's, never "taken".
    click(openModes().libraryShortcutEditButton());
    sheet = shortcutSheet();
    ASSERT_TRUE(sheet && sheet->isVisible());
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    ASSERT_EQ(QApplication::focusWidget(), sheet->disableButton());
    keyObserver(
        KeyEvent{KeyEvent::Type::keyDown, 40, ModifierFlag::control | ModifierFlag::option, "k", "k", 0});
    QTest::keyClick(sheet->disableButton(), Qt::Key_K, Qt::ControlModifier | Qt::AltModifier);
    settle();
    EXPECT_EQ(prefs.libraryShortcut(),
              (KeyboardShortcut{40, ModifierFlag::control | ModifierFlag::option, "k"}));
    EXPECT_FALSE(view->libraryShortcutSheet());
}

TEST_F(SettingsViewTest, ASchemeSwitchWhileOpenRecoloursTheWholeWindow) {
    DesktopAppearance::overrideDark(std::nullopt);  // follow the desktop's palette
    const QPalette light = QApplication::palette();
    ASSERT_GE(light.color(QPalette::Window).lightness(), 128);
    open();
    view->tabWidget()->setCurrentIndex(static_cast<int>(Tab::excludedApps));
    settle();
    QApplication::setPalette(darkDesktopPalette(light));
    settle();
    const auto lightness = [](const QColor& color) { return color.lightness(); };
    EXPECT_LT(lightness(view->palette().color(QPalette::Window)), 128);
    for (QLabel* label : view->findChildren<QLabel*>()) {
        if (!label->isVisible() || label->foregroundRole() != QPalette::WindowText || label->text().isEmpty())
            continue;
        EXPECT_GT(lightness(label->palette().color(QPalette::WindowText)), 128) << text(label);
    }
    // Every trash can is drawn in the new text colour.
    const auto buttons = view->findChildren<QAbstractButton*>();
    int icons = 0;
    for (QAbstractButton* button : buttons) {
        if (button->icon().isNull() || button->toolTip() != QStringLiteral("Remove")) continue;
        const QImage image = button->icon().pixmap(14).toImage();
        int darkest = 255;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                if (image.pixelColor(x, y).alpha() > 200)
                    darkest = std::min(darkest, image.pixelColor(x, y).lightness());
        EXPECT_GT(darkest, 128);
        ++icons;
    }
    EXPECT_GT(icons, 0);
    // The destructive button stays red through a desktop theme that hands every widget the new
    // palette, as a palette tool does when it applies its scheme.
    const auto resetText = [this] {
        return general().resetAllButton()->palette().color(QPalette::ButtonText);
    };
    const QColor darkRed = resetText();
    EXPECT_NEAR(darkRed.hue(), SettingsStyle::red().hue(), 1);
    for (QWidget* widget : QApplication::allWidgets()) widget->setPalette(QApplication::palette());
    settle();
    EXPECT_EQ(resetText(), darkRed);
    QApplication::setPalette(light);
    settle();
    EXPECT_GE(lightness(view->palette().color(QPalette::Window)), 128);
    EXPECT_NEAR(resetText().hue(), SettingsStyle::red().hue(), 1);
}

// A scrolling tab is as tall as its cards and its margin, at any width: no empty band under the
// last card, and no card shorter than its wrapped text needs.
TEST_F(SettingsViewTest, ScrollingTabsEndAtTheirLastCard) {
    open();
    for (int width : {900, 660}) {
        view->resize(width, 780);
        for (Tab tab : {Tab::general, Tab::emoticons}) {
            view->tabWidget()->setCurrentIndex(static_cast<int>(tab));
            settle();
            QWidget* content = view->tabContent(tab);
            auto* area = qobject_cast<QScrollArea*>(content->parentWidget()->parentWidget());
            ASSERT_NE(area, nullptr);
            QWidget* last = nullptr;
            for (int i = 0; i < content->layout()->count(); ++i) {
                QWidget* card = content->layout()->itemAt(i)->widget();
                if (!card || !card->isVisible()) continue;
                last = card;
                if (card->hasHeightForWidth()) {
                    EXPECT_GE(card->height(), card->heightForWidth(card->width()));
                }
            }
            ASSERT_NE(last, nullptr);
            const int bottom = last->geometry().bottom() + 1 + 16;
            EXPECT_LE(content->height(), std::max(area->viewport()->height(), bottom) + 1)
                << SettingsView::tabTitle(tab).toStdString() << " at " << width;
            EXPECT_GE(content->height(), bottom);
        }
    }
}

TEST_F(SettingsViewTest, InfoTabReachesTheShell) {
    open();
    auto& info = *static_cast<InfoTab*>(view->tabContent(Tab::info));
    view->tabWidget()->setCurrentIndex(5);
    settle();
    EXPECT_EQ(text(info.versionLabel()), "Version 1.4 (57)");
    click(info.tippsCard());
    click(info.permissionWizardCard());
    EXPECT_EQ(guides, (std::vector<OnboardingPage>{OnboardingPage::welcome, OnboardingPage::permissions}));
    click(info.reportIssueCard());
    click(info.featureRequestsCard());
    click(info.companyLink());
    EXPECT_EQ(urls,
              (Strings{"https://example.org/issues", "https://example.org/ideas", "https://example.org/"}));
    EXPECT_EQ(info.companyLink()->text(), QStringLiteral("example.org"));
    EXPECT_FALSE(info.notOpenedNotice()->isVisible());

    // No browser: the tab says so, with the address ready to copy.
    browserOpens = false;
    click(info.featureRequestsCard());
    ASSERT_TRUE(info.notOpenedNotice()->isVisible());
    EXPECT_EQ(info.notOpenedAddress()->text(), QStringLiteral("https://example.org/ideas"));
    EXPECT_EQ(info.notOpenedAddress()->selectedText(), info.notOpenedAddress()->text());
    browserOpens = true;
    click(info.reportIssueCard());
    EXPECT_FALSE(info.notOpenedNotice()->isVisible());

    UpdaterStatusCard& card = *info.updaterCard();
    EXPECT_EQ(card.pillValue(QStringLiteral("Current")), QStringLiteral("1.4 (57)"));
    EXPECT_EQ(card.pillValue(QStringLiteral("Available")), QStringLiteral("N/A"));
    EXPECT_EQ(card.pillValue(QStringLiteral("Status")), QStringLiteral("Updater unavailable in this build"));
    EXPECT_EQ(card.pillValue(QStringLiteral("Last check")), QStringLiteral("Never"));
    EXPECT_EQ(card.pillValue(QStringLiteral("Download mode")), QStringLiteral("Ask First"));
    EXPECT_FALSE(card.checkToggle()->isEnabled() || card.checkToggle()->isChecked());
    EXPECT_FALSE(card.downloadToggle()->isVisible());
    EXPECT_FALSE(card.checkButton()->isEnabled());
    EXPECT_FALSE(card.progress()->isVisible());

    ASSERT_TRUE(updaterStatusChanged);
    updaterStatusChanged();
    updaterStatusChanged();
    EXPECT_EQ(view->state().updaterStatusRefreshTick(), 2);
}

}  // namespace
}  // namespace mosaiko::testing
