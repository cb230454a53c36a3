// The main-menu loop's dispatch rules on the real dialogs, with stand-ins
// for the programs the menu starts: each notes its call in tmp/calls.txt.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QElapsedTimer>
#include <QScreen>
#include <QTimer>

#include <functional>
#include <string>
#include <vector>

#include "../ferret/drive_root.h"
#include "app/app_state.h"
#include "app/load_dialogs.h"
#include "app/main_menu.h"
#include "resources/dialog_fields.h"
#include "toolkit/qt_access.h"
#include "toolkit/toolkit.h"

using toolkit::testing::DialogWidget;
using toolkit::testing::FieldWidget;

namespace {

bool Eventually(const std::function<bool()>& ready, int ms = 5000) {
  QElapsedTimer clock;
  clock.start();
  while (!ready()) {
    if (clock.elapsed() > ms) return false;
    QApplication::processEvents(QEventLoop::AllEvents, 20);
  }
  return true;
}

class MainMenuLoop : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const char* name : {"notepad", "tcKillCygwinX.bat", "tcJnlrm.bat"})
      drive_.write(std::string("bin/") + name,
                   std::string("printf '%s\\n' \"") + name +
                       " $*\" >> \"$TIDECHARTER_DRIVE_C/tidecharter/tmp/calls.txt\"\n");
    ASSERT_TRUE(app_.log.open());
    WindowOpen(128);
    WMessageEnable(FieldChanged, 1);
    loaddialogs(app_);
    WDialogSelect(101);
    WDialogShow(-1, -1, 0, 2);
    menu_ = DialogWidget(101);
    ASSERT_TRUE(Eventually([this] { return menu_->isActiveWindow(); }));
    menuAt_ = menu_->pos();
  }
  void TearDown() override { WindowClose(); }

  void dispatch(int type, int win, int value1, int value2 = -1) {
    app_.itype = type;
    app_.message = MessageRecord();
    app_.message.win = win;
    app_.message.value1 = value1;
    app_.message.value2 = value2;
    dispatchmessage(app_);
  }
  std::vector<std::string> calls(size_t atLeast) {
    Eventually([&] { return drive_.lines("tmp/calls.txt").size() >= atLeast; });
    return drive_.lines("tmp/calls.txt");
  }
  std::vector<std::string> log() {
    app_.log.flush();
    return drive_.lines("tmp/tidecharter.log");
  }

  DriveRoot drive_;
  AppState app_;
  QDialog* menu_ = nullptr;
  QPoint menuAt_;
};

TEST_F(MainMenuLoop, OkShowsTheChosenDialogAtItsPlace) {
  const QSize screen = QGuiApplication::primaryScreen()->geometry().size();
  const struct {
    int radio, dialog, x;
  } choices[] = {{kMainMapRadio, 103, -1},  {kMainSectionRadio, 105, 510}, {kMainSeriesRadio, 104, -1},
                 {kMainLineRadio, 109, -1}, {kMainProductRadio, 110, -1}};
  for (const auto& c : choices) {
    SCOPED_TRACE(c.dialog);
    WDialogSelect(101);
    WDialogPutRadioButton(c.radio);
    dispatch(PushButton, 101, 1);
    QDialog* shown = DialogWidget(c.dialog);
    ASSERT_TRUE(Eventually([&] { return shown->isVisible() && shown->isActiveWindow(); }));
    const QSize size = shown->frameGeometry().size();
    EXPECT_EQ(shown->pos(), QPoint(c.x == -1 ? (screen.width() - size.width()) / 2 : c.x,
                                   (screen.height() - size.height()) / 2));
  }
  EXPECT_EQ(app_.exitflag, 0);
}

TEST_F(MainMenuLoop, HelpAndTheTwoExits) {
  // Any button brings the menu back to the top, where it was.
  WDialogSelect(103);
  WDialogShow(-1, -1, 0, 2);
  ASSERT_TRUE(Eventually([] { return DialogWidget(103)->isActiveWindow(); }));
  dispatch(PushButton, 101, kMainHelpButton);
  EXPECT_TRUE(Eventually([this] { return menu_->isActiveWindow(); }));
  EXPECT_EQ(menu_->pos(), menuAt_);
  EXPECT_EQ(calls(1), std::vector<std::string>{"notepad c:\\tidecharter\\Help\\README_tdc.txt"});
  EXPECT_EQ(log(), std::vector<std::string>{" spawn notepad:"});
  EXPECT_EQ(app_.exitflag, 0);

  dispatch(PushButton, 101, kMainCloseAllButton);
  EXPECT_EQ(app_.exitflag, 1);
  EXPECT_EQ(calls(2).back(), "tcKillCygwinX.bat ");
  EXPECT_EQ(log().back(), " spawn tcKillCygwinX:");

  // Exit only: out of the real loop by the real button, the journals
  // cleaned up, the X server left alone.
  app_.exitflag = 0;
  QTimer::singleShot(
      0, [] { static_cast<QAbstractButton*>(FieldWidget(101, kMainExitButton))->click(); });
  mainmenuloop(app_);
  EXPECT_EQ(app_.exitflag, 1);
  EXPECT_EQ(calls(3).back(), "tcJnlrm.bat ");
  Eventually([] { return false; }, 300);
  EXPECT_EQ(calls(3).size(), 3u);
  EXPECT_EQ(log().size(), 2u);
}

TEST_F(MainMenuLoop, ProgressDialogsHideOnlyForTheirClosingButtons) {
  for (int dialog : {107, 111}) {
    for (int button : {3, kPlotButton, kOkButton, kCancelButton, kMainExitButton}) {
      SCOPED_TRACE(std::to_string(dialog) + " button " + std::to_string(button));
      WDialogSelect(dialog);
      WDialogShow(-1, -1, 0, 2);
      dispatch(PushButton, dialog, button);
      EXPECT_EQ(DialogWidget(dialog)->isVisible(), button != kOkButton && button != kCancelButton &&
                                                     button != kMainExitButton);
    }
  }
}

TEST_F(MainMenuLoop, FieldChangeCallsTheFieldProcedureOnlyInsideOneField) {
  // Property 5 (geostrophic velocity) is the one that uses the vector
  // density fields, disabled at loading.
  qobject_cast<QComboBox*>(FieldWidget(103, kPlotPropertyMenu))->setCurrentIndex(4);
  QWidget* vectors = FieldWidget(103, kMapVectorXMenu);
  dispatch(FieldChanged, 103, kPlotPropertyMenu, kPlotTypeMenu);
  EXPECT_FALSE(vectors->isEnabled());
  dispatch(FieldChanged, 103, kPlotPropertyMenu, kPlotPropertyMenu);
  EXPECT_TRUE(vectors->isEnabled());
}

}  // namespace
