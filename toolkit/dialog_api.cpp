// The dialog operations of toolkit.h: loading, showing, hiding, and field
// access on the current dialog.
#include <QAbstractButton>
#include <QApplication>
#include <QButtonGroup>
#include <QComboBox>
#include <QGuiApplication>
#include <QLineEdit>
#include <QListWidget>
#include <QScreen>
#include <algorithm>
#include <cctype>
#include <climits>
#include <cmath>
#include <cstdio>

#include "toolkit/dialog.h"
#include "toolkit/dialog_table.h"
#include "toolkit/error_slots.h"
#include "toolkit/fixed_text.h"
#include "toolkit/message_hub.h"
#include "toolkit/number_format.h"
#include "toolkit/toolkit.h"

using namespace toolkit;

namespace {

constexpr int kConversionError = 18;
constexpr int kNoDialogSelected = 1005;
constexpr int kInvalidField = 1006;
constexpr int kNoSuchTemplate = 1007;
constexpr int kCannotSelect = 1008;
constexpr int kOutOfRange = 1009;
constexpr int kUndefined = 1010;
constexpr int kBadOption = 1011;
constexpr int kBadMode = 1014;
constexpr int kTooManyDialogs = 1087;
constexpr int kCreationFailed = 1088;
constexpr int kUndefinedInteger = -999;
constexpr float kUndefinedReal = -999.0f;
constexpr std::size_t kNumberTextLimit = 255;

Dialog* currentOrError() {
  Dialog* d = CurrentDialog();
  if (!d) RecordError(kNoDialogSelected);
  return d;
}

// The field of the current dialog, with 1005 or 1006 recorded when there
// is none.
Field* fieldOrError(int fieldId, Dialog*& dialog) {
  dialog = currentOrError();
  if (!dialog) return nullptr;
  Field* f = dialog->field(fieldId);
  if (!f) RecordError(kInvalidField);
  return f;
}

bool isMenuField(const Field& f) {
  return f.kind == FieldKind::DropDownList || f.kind == FieldKind::EditableDropDown ||
         f.kind == FieldKind::ListBox;
}

// The menu field of the current dialog, with 1005 or 1006 recorded when
// there is none.
Field* menuOrError(int fieldId, Dialog*& dialog) {
  Field* f = fieldOrError(fieldId, dialog);
  if (f && !isMenuField(*f)) {
    RecordError(kInvalidField);
    return nullptr;
  }
  return f;
}

void loadFailed(int dialogId, const std::string& why) {
  std::fprintf(stderr, "dialog %d: %s\n", dialogId, why.c_str());
  RecordError(kCreationFailed);
}

// The field's value as a get operation reads it; false when undefined.
bool readValue(Dialog& d, Field& f, double& value) {
  std::string text = d.text(f);
  if (text.size() > kNumberTextLimit) text.resize(kNumberTextLimit);
  if (text.find_first_not_of(' ') == std::string::npos) return false;
  if (f.kind == FieldKind::NumericEdit && !f.edited) {
    value = f.value;
    return true;
  }
  ReadNumber(text, value);  // not a number: 0.0, and no error
  return true;
}

void bringToTop(QWidget* w) {
  // The offscreen platform has no stacking order and says so on every call.
  if (QGuiApplication::platformName() != QLatin1String("offscreen")) w->raise();
  MakeActive(w);
}

// Top-left corner at x, y; -1 centres the window, frame included, on the
// screen along that axis.
void place(QWidget* w, int x, int y) {
  const QScreen* screen = QGuiApplication::primaryScreen();
  const QSize screenSize = screen ? screen->geometry().size() : QSize(1024, 768);
  const QSize size = w->frameGeometry().size();
  w->move(x == -1 ? (screenSize.width() - size.width()) / 2 : x,
          y == -1 ? (screenSize.height() - size.height()) / 2 : y);
}

std::string lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

}  // namespace

void WDialogLoad(int dialogId, int newId) {
  EnsureInitialised();
  const int registeredId = newId > 0 ? newId : dialogId;
  if (Dialog* loaded = FindDialog(registeredId)) {
    SetCurrentDialog(loaded);
    return;
  }
  if (static_cast<int>(LoadedDialogs().size()) >= kMaxDialogs) {
    RecordError(kTooManyDialogs);
    return;
  }
  std::string templateText;
  if (!DialogResource(dialogId, false, templateText)) {
    RecordError(kNoSuchTemplate);
    return;
  }
  DialogTemplate tmpl;
  std::string error;
  if (!ParseDialogTemplate(templateText, tmpl, error)) {
    loadFailed(dialogId, "template " + error);
    return;
  }
  if (tmpl.id != dialogId) {
    loadFailed(dialogId, "template says DIALOG " + std::to_string(tmpl.id));
    return;
  }
  auto* dialog = new Dialog(tmpl, registeredId, RootWindow());
  std::string extendedText;
  if (DialogResource(dialogId, true, extendedText))
    dialog->applyExtendedData(ParseExtendedData(extendedText));
  LoadedDialogs().push_back(dialog);
  SetCurrentDialog(dialog);
}

void WDialogSelect(int dialogId) {
  Dialog* d = FindDialog(dialogId);
  if (!d) {
    RecordError(kCannotSelect);
    return;
  }
  SetCurrentDialog(d);
}

void WDialogShow(int x, int y, int focusField, int mode) {
  Dialog* d = currentOrError();
  if (!d) return;
  if (d->shown && d->isVisible()) {
    bringToTop(d);
    return;
  }
  if (mode != 1 && mode != 3) mode = 2;
  if (mode == 2) {
    for (Dialog* other : LoadedDialogs()) {
      if (other != d && other->shown && other->mode == 3) {
        mode = 3;
        RecordError(kBadMode);
        break;
      }
    }
  }
  const bool firstShow = !d->shownBefore;
  d->shownBefore = true;
  d->owner = QApplication::activeWindow();
  d->mode = mode;
  d->shown = true;

  place(d, x, y);

  if (mode == 1) {
    d->setModal(true);
    d->giveInitialFocus(focusField, firstShow);
    d->modalExitButton = -1;
    d->exec();
    d->setModal(false);
    d->shown = false;
    return;
  }
  if (mode == 3) {
    for (Dialog* other : LoadedDialogs())
      if (other != d) other->setEnabled(false);
    if (QWidget* root = RootWindow()) root->setEnabled(false);
  }
  d->show();
  place(d, x, y);  // again, now that the frame is known
  bringToTop(d);
  d->giveInitialFocus(focusField, firstShow);
}

void WDialogHide() {
  Dialog* d = CurrentDialog();
  if (!d) return;
  const bool wasActive = d->isActiveWindow();
  d->hide();
  d->shown = false;
  if (d->mode == 3) {
    for (Dialog* other : LoadedDialogs()) other->setEnabled(true);
    if (QWidget* root = RootWindow()) root->setEnabled(true);
  }
  if (wasActive && d->owner && d->owner->isVisible()) d->owner->activateWindow();
}

void WDialogUnload() {
  if (Dialog* d = currentOrError()) UnloadDialog(d);
}

void WDialogPutString(int field, const std::string& text) {
  Dialog* d = nullptr;
  if (Field* f = fieldOrError(field, d)) d->setText(*f, TextWithoutTrailingBlanks(text));
}

void WDialogGetString(int field, std::string& text) {
  Dialog* d = nullptr;
  Field* f = fieldOrError(field, d);
  AssignFixed(text, f ? d->text(*f) : std::string());
}

void WDialogPutReal(int field, float value, const std::string& format) {
  Dialog* d = nullptr;
  Field* f = fieldOrError(field, d);
  if (!f) return;
  if (f->kind != FieldKind::NumericEdit && f->kind != FieldKind::TextEdit &&
      f->kind != FieldKind::EditableDropDown && f->kind != FieldKind::Label) {
    RecordError(kInvalidField);
    return;
  }
  const std::string given = TextWithoutTrailingBlanks(format);
  const std::string used = !given.empty()      ? given
                           : !f->format.empty() ? f->format
                                                : std::string(kDefaultNumberFormat);
  if (f->rangeInForce() && (value < f->minimum || value > f->maximum)) {
    RecordError(kOutOfRange);
    return;
  }
  std::string text;
  if (!FormatNumber(value, used, text)) RecordError(kConversionError);
  d->storeNumber(*f, value, text);
  f->format = used;
}

void WDialogGetReal(int field, float& value) {
  Dialog* d = nullptr;
  Field* f = fieldOrError(field, d);
  if (!f) return;
  double v = 0.0;
  if (!readValue(*d, *f, v)) {
    value = kUndefinedReal;
    RecordError(kUndefined);
    return;
  }
  value = static_cast<float>(std::isfinite(v) && std::fabs(v) <= 3.4028234663852886e38
                                 ? v
                                 : (v > 0 ? HUGE_VALF : -HUGE_VALF));
}

void WDialogGetInteger(int field, int& value) {
  Dialog* d = nullptr;
  Field* f = fieldOrError(field, d);
  if (!f) return;
  double v = 0.0;
  if (!readValue(*d, *f, v)) {
    value = kUndefinedInteger;
    RecordError(kUndefined);
    return;
  }
  // Truncated toward zero; beyond the integer range the nearest end.
  if (std::isnan(v)) v = 0.0;
  if (v >= 2147483647.0)
    value = INT_MAX;
  else if (v <= -2147483648.0)
    value = INT_MIN;
  else
    value = static_cast<int>(v);
}

void WDialogPutRadioButton(int field) {
  Dialog* d = nullptr;
  Field* f = fieldOrError(field, d);
  if (!f) return;
  if (f->kind != FieldKind::RadioButton) {
    RecordError(kInvalidField);
    return;
  }
  d->setChecked(*f, true);
}

void WDialogGetRadioButton(int field, int& value) {
  Dialog* d = nullptr;
  Field* f = fieldOrError(field, d);
  if (!f) return;
  if (f->kind != FieldKind::RadioButton) {
    RecordError(kInvalidField);
    return;
  }
  const std::vector<int>& members = d->radioGroup(*f);
  for (std::size_t i = 0; i < members.size(); ++i) {
    const Field& m = d->fields()[members[i]];
    if (static_cast<QAbstractButton*>(m.widget)->isChecked()) {
      value = static_cast<int>(i) + 1;
      return;
    }
  }
  value = kUndefinedInteger;
  RecordError(kUndefined);
}

void WDialogPutMenu(int field, const std::vector<std::string>& items, int count, int selected,
                    const std::string* text) {
  Dialog* d = nullptr;
  Field* f = fieldOrError(field, d);
  if (!f) return;
  const bool multiple = f->kind == FieldKind::ListBox &&
                        (f->control.styles & kStyleMultiSelect);
  if (!isMenuField(*f) || multiple) {
    RecordError(kInvalidField);
    return;
  }
  const std::size_t n =
      count <= 0 ? 0 : std::min(items.size(), static_cast<std::size_t>(count));
  std::vector<std::string> list;
  for (std::size_t i = 0; i < n; ++i) list.push_back(TextWithoutTrailingBlanks(items[i]));
  d->fillMenu(*f, list);
  if (selected >= 1 && selected <= static_cast<int>(n)) {
    d->selectItem(*f, selected - 1);
  } else if (selected == 0 && text && f->kind == FieldKind::EditableDropDown) {
    d->setText(*f, TextWithoutTrailingBlanks(*text));
  } else {
    RecordError(kBadOption);
  }
}

void WDialogGetMenu(int field, int& value, std::string* text) {
  Dialog* d = nullptr;
  Field* f = menuOrError(field, d);
  if (!f) return;
  const std::string shown = d->text(*f);
  if (text) AssignFixed(*text, shown);
  const int selected = d->selectedItem(*f);
  if (selected >= 0) {
    value = selected + 1;
    return;
  }
  if (f->kind == FieldKind::ListBox || shown.empty()) {
    value = kUndefinedInteger;
    RecordError(kUndefined);
    return;
  }
  // Typed text of an editable drop-down: the first item it names.
  auto* combo = static_cast<QComboBox*>(f->widget);
  const std::string typed = lower(shown);
  value = 0;
  for (int i = 0; i < combo->count(); ++i) {
    if (lower(combo->itemText(i).toStdString()) == typed) {
      value = i + 1;
      return;
    }
  }
}

void WDialogGetMenuItems(int field, std::vector<std::string>& items) {
  items.clear();
  Dialog* d = nullptr;
  Field* f = menuOrError(field, d);
  if (!f) return;
  if (f->kind == FieldKind::ListBox) {
    auto* list = static_cast<QListWidget*>(f->widget);
    for (int i = 0; i < list->count(); ++i)
      items.push_back(TextWithoutTrailingBlanks(list->item(i)->text().toStdString()));
  } else {
    auto* combo = static_cast<QComboBox*>(f->widget);
    for (int i = 0; i < combo->count(); ++i)
      items.push_back(TextWithoutTrailingBlanks(combo->itemText(i).toStdString()));
  }
}

void WDialogFieldState(int field, int state) {
  Dialog* d = nullptr;
  if (Field* f = fieldOrError(field, d)) d->setState(*f, state);
}
