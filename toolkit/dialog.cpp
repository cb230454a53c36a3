#include "toolkit/dialog.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QGroupBox>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QStyle>
#include <QTimer>
#include <cmath>
#include <cstdio>
#include <limits>

#include "toolkit/dialog_units.h"
#include "toolkit/error_slots.h"
#include "toolkit/field_widgets.h"
#include "toolkit/fixed_text.h"
#include "toolkit/message_hub.h"
#include "toolkit/number_format.h"
#include "toolkit/pictures.h"

namespace toolkit {
namespace {

constexpr int kConversionError = 18;
constexpr int kCancelButton = 2;
constexpr int kOkButton = 1;
const char* const kFieldProperty = "toolkitField";

// Counts the toolkit's own changes to fields, during which the widgets'
// change signals are not user actions.
class Quiet {
 public:
  explicit Quiet(int& counter) : counter_(counter) { ++counter_; }
  ~Quiet() { --counter_; }

 private:
  int& counter_;
};

QString toQt(const std::string& s) { return QString::fromStdString(s); }

bool isMenuKind(FieldKind k) {
  return k == FieldKind::DropDownList || k == FieldKind::EditableDropDown ||
         k == FieldKind::ListBox;
}

bool isBlankText(const std::string& s) { return s.find_first_not_of(' ') == std::string::npos; }

// A 32-bit real as the field reads a typed number.
double asFloat(double v) {
  constexpr double largest = std::numeric_limits<float>::max();
  if (std::isnan(v)) return v;
  if (v > largest) return std::numeric_limits<float>::infinity();
  if (v < -largest) return -std::numeric_limits<float>::infinity();
  return static_cast<float>(v);
}

QLineEdit* lineEditOf(const Field& f) {
  if (f.kind == FieldKind::TextEdit || f.kind == FieldKind::NumericEdit)
    return static_cast<QLineEdit*>(f.widget);
  if (f.kind == FieldKind::EditableDropDown) return static_cast<QComboBox*>(f.widget)->lineEdit();
  return nullptr;
}

}  // namespace

void MakeActive(QWidget* window) {
  window->activateWindow();
  const QWidget* active = QApplication::activeWindow();
  const bool stale = !active || !active->isVisible();
  if (active != window && (stale || QGuiApplication::focusWindow() == window->windowHandle()))
    QApplication::setActiveWindow(window);
}

Dialog::Dialog(const DialogTemplate& tmpl, int registeredId, QWidget* parent)
    : QDialog(parent), id_(registeredId) {
  setWindowTitle(toQt(tmpl.title));
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                 Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
  setModal(false);
  const QFont font = DialogFont(tmpl.fontFace, tmpl.fontPoints);
  setFont(font);
  const BaseUnits units = BaseUnitsOf(font);
  baseX_ = units.x;
  baseY_ = units.y;
  setFixedSize(MultiplyDivide(tmpl.width, baseX_, 4), MultiplyDivide(tmpl.height, baseY_, 8));
  fields_.reserve(tmpl.controls.size());
  for (const TemplateControl& c : tmpl.controls) createField(c);
  buildRadioGroups();
  for (Field& f : fields_) {
    connectNotifications(f);
    f.font = font;
    fitText(f);
  }
}

// The fonts installed here are not the ones the dialogs were laid out for,
// and a few captions were wider than their fields even in those: such a
// caption gets a smaller font rather than being cut off.
void Dialog::fitText(Field& f) {
  const bool button = f.kind == FieldKind::PushButton || f.kind == FieldKind::RadioButton ||
                      f.kind == FieldKind::CheckBox;
  if (!button && f.kind != FieldKind::Label) return;
  QWidget* w = f.widget;
  QString caption = button ? static_cast<QAbstractButton*>(w)->text()
                           : static_cast<QLabel*>(w)->text();
  if (button) caption.remove(QRegularExpression(QStringLiteral("&(?!&)")));
  int room = w->width();
  if (f.kind == FieldKind::PushButton) {
    room -= 2 * (style()->pixelMetric(QStyle::PM_ButtonMargin, nullptr, w) / 2 +
                 style()->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, w));
  } else if (button) {
    const bool radio = f.kind == FieldKind::RadioButton;
    room -= style()->pixelMetric(radio ? QStyle::PM_ExclusiveIndicatorWidth
                                       : QStyle::PM_IndicatorWidth, nullptr, w) +
            style()->pixelMetric(radio ? QStyle::PM_RadioButtonLabelSpacing
                                       : QStyle::PM_CheckBoxLabelSpacing, nullptr, w) + 2;
  }
  auto fits = [&](const QFont& font) {
    const QFontMetrics m(font);
    if (button) return m.horizontalAdvance(caption) <= room;
    const QRect needed = m.boundingRect(QRect(0, 0, room, 100000),
                                        Qt::TextWordWrap | Qt::AlignLeft, caption);
    return needed.width() <= room && needed.height() <= qMax(w->height(), m.height());
  };
  QFont font = f.font;
  const int designed = font.pixelSize();
  const int smallest = qMax(7, designed * 7 / 10);
  while (!fits(font) && font.pixelSize() > smallest) font.setPixelSize(font.pixelSize() - 1);
  w->setFont(font);
}

void Dialog::createField(const TemplateControl& c) {
  Field f;
  f.control = c;
  f.kind = c.kind();
  QRect geometry(MultiplyDivide(c.x, baseX_, 4), MultiplyDivide(c.y, baseY_, 8),
                 MultiplyDivide(c.width, baseX_, 4), MultiplyDivide(c.height, baseY_, 8));
  const QString text = toQt(c.text);
  QWidget* w = nullptr;
  switch (f.kind) {
    case FieldKind::PushButton: {
      auto* b = new QPushButton(text, this);
      b->setAutoDefault(true);
      b->setDefault((c.styles & kStyleDefPush) != 0);
      w = b;
      break;
    }
    case FieldKind::RadioButton: {
      auto* b = new QRadioButton(text, this);
      b->setAutoExclusive(false);  // its group decides
      w = b;
      break;
    }
    case FieldKind::CheckBox:
      w = new QCheckBox(text, this);
      break;
    case FieldKind::GroupBox: {
      auto* g = new QGroupBox(text, this);
      g->setFocusPolicy(Qt::NoFocus);
      // A frame drawn around other fields must not take their clicks.
      g->setAttribute(Qt::WA_TransparentForMouseEvents);
      w = g;
      break;
    }
    case FieldKind::Label: {
      auto* l = new QLabel(this);
      l->setTextFormat(Qt::PlainText);
      l->setText(text);
      l->setWordWrap(true);
      Qt::Alignment align = Qt::AlignLeft;
      if (c.styles & kStyleCenter) align = Qt::AlignHCenter;
      if (c.styles & kStyleRight) align = Qt::AlignRight;
      l->setAlignment(align | Qt::AlignTop);
      w = l;
      break;
    }
    case FieldKind::Picture:
    case FieldKind::Icon: {
      auto* l = new QLabel(this);
      QSize size = geometry.size();
      if (f.kind == FieldKind::Icon) {
        const int side = qMin(size.width(), size.height());
        size = QSize(side, side);
      }
      l->setPixmap(DialogPicture(c.text, size, f.kind == FieldKind::Icon));
      l->setAlignment(Qt::AlignLeft | Qt::AlignTop);
      w = l;
      break;
    }
    case FieldKind::TextEdit:
    case FieldKind::NumericEdit: {
      QLineEdit* e = f.kind == FieldKind::NumericEdit ? new NumericEdit(this) : new QLineEdit(this);
      e->setText(text);
      e->setReadOnly((c.styles & kStyleReadOnly) != 0);
      e->setCursorPosition(0);
      if (f.kind == FieldKind::NumericEdit) {
        ReadNumber(c.text, f.value);
        f.hasValue = !isBlankText(c.text);
      }
      w = e;
      break;
    }
    case FieldKind::DropDownList:
    case FieldKind::EditableDropDown: {
      auto* cb = new ComboField(this);
      if (f.kind == FieldKind::EditableDropDown) {
        cb->setEditable(true);
        cb->setInsertPolicy(QComboBox::NoInsert);
        cb->setCompleter(nullptr);
        cb->lineEdit()->setText(text);
      }
      // h is the height with the list dropped; closed it is one line.
      const int closed = cb->sizeHint().height();
      const int itemHeight = cb->fontMetrics().height() + 2;
      cb->setMaxVisibleItems(qMax(1, (geometry.height() - closed) / itemHeight));
      geometry.setHeight(closed);
      w = cb;
      break;
    }
    case FieldKind::ListBox: {
      auto* l = new QListWidget(this);
      l->setSelectionMode((c.styles & kStyleMultiSelect) ? QAbstractItemView::MultiSelection
                                                         : QAbstractItemView::SingleSelection);
      w = l;
      break;
    }
  }
  w->setGeometry(geometry);
  w->setProperty(kFieldProperty, static_cast<int>(fields_.size()));
  if (f.kind == FieldKind::GroupBox) w->lower();
  if (c.styles & kStyleReadOnly) f.state = 2;
  if (c.styles & kStyleDisabled) {
    w->setEnabled(false);
    f.state = 0;
  }
  if (c.styles & kStyleHidden) {
    w->hide();
    f.state = 3;
  }
  f.widget = w;
  fields_.push_back(std::move(f));
}

// A group runs from a field with the group bit over the following fields of
// the same class, up to the next group bit or another class; its members
// are its radio buttons.
void Dialog::buildRadioGroups() {
  const int n = static_cast<int>(fields_.size());
  for (int i = 0; i < n; ++i) {
    if (fields_[i].kind != FieldKind::RadioButton || fields_[i].radioGroup >= 0) continue;
    const std::string& cls = fields_[i].control.className;
    int start = i;
    while (!(fields_[start].control.styles & kStyleGroup) && start > 0 &&
           fields_[start - 1].control.className == cls)
      --start;
    std::vector<int> members;
    for (int m = start; m < n; ++m) {
      if (m > start && (fields_[m].control.styles & kStyleGroup)) break;
      if (fields_[m].control.className != cls) break;
      if (fields_[m].kind == FieldKind::RadioButton) members.push_back(m);
    }
    auto* group = new QButtonGroup(this);
    group->setExclusive(true);
    const int index = static_cast<int>(radioGroups_.size());
    for (int m : members) {
      fields_[m].radioGroup = index;
      group->addButton(static_cast<QAbstractButton*>(fields_[m].widget));
    }
    radioGroups_.push_back(members);
    buttonGroups_.push_back(group);
  }
}

void Dialog::connectNotifications(Field& f) {
  const int index = static_cast<int>(&f - fields_.data());
  const int fieldId = f.id();
  QWidget* w = f.widget;
  switch (f.kind) {
    case FieldKind::PushButton:
      connect(static_cast<QPushButton*>(w), &QPushButton::clicked, this,
              [this, fieldId] { pressButton(fieldId); });
      break;
    case FieldKind::RadioButton:
    case FieldKind::CheckBox:
      w->installEventFilter(this);
      connect(static_cast<QAbstractButton*>(w), &QAbstractButton::clicked, this,
              [this, fieldId] { notification(fieldId, false); });
      break;
    case FieldKind::TextEdit:
      w->installEventFilter(this);
      break;
    case FieldKind::NumericEdit:
      w->installEventFilter(this);
      connect(static_cast<QLineEdit*>(w), &QLineEdit::textEdited, this,
              [this, index] { fields_[index].edited = true; });
      break;
    case FieldKind::DropDownList:
    case FieldKind::EditableDropDown: {
      auto* cb = static_cast<ComboField*>(w);
      w->installEventFilter(this);
      cb->listOpened = [this, fieldId] { notification(fieldId, false); };
      cb->listClosed = [this, fieldId] { notification(fieldId, false); };
      connect(cb, &QComboBox::currentIndexChanged, this, [this, index, fieldId] {
        if (quiet_) return;
        fields_[index].typed = false;
        notification(fieldId, false);
      });
      connect(cb, &QComboBox::activated, this, [this, index, fieldId] {
        fields_[index].typed = false;
        notification(fieldId, false);
      });
      if (cb->lineEdit()) {
        // Typing is no notification, but the list then has no selection.
        connect(cb->lineEdit(), &QLineEdit::textEdited, this,
                [this, index] { fields_[index].typed = true; });
      }
      break;
    }
    case FieldKind::ListBox: {
      auto* l = static_cast<QListWidget*>(w);
      w->installEventFilter(this);
      connect(l, &QListWidget::itemSelectionChanged, this, [this, fieldId] {
        if (!quiet_) notification(fieldId, false);
      });
      connect(l, &QListWidget::itemDoubleClicked, this,
              [this, fieldId] { notification(fieldId, false); });
      break;
    }
    default:
      break;
  }
}

Field* Dialog::field(int fieldId) {
  for (Field& f : fields_)
    if (f.id() == fieldId) return &f;
  return nullptr;
}

Field* Dialog::fieldOf(QObject* widget) {
  if (!widget || widget->parent() != this) return nullptr;
  const QVariant index = widget->property(kFieldProperty);
  if (!index.isValid()) return nullptr;
  return &fields_[index.toInt()];
}

// ------------------------------------------------------------ contents

std::string Dialog::text(const Field& f) const {
  QString t;
  switch (f.kind) {
    case FieldKind::PushButton:
    case FieldKind::RadioButton:
    case FieldKind::CheckBox:
      t = static_cast<QAbstractButton*>(f.widget)->text();
      break;
    case FieldKind::GroupBox:
      t = static_cast<QGroupBox*>(f.widget)->title();
      break;
    case FieldKind::Label:
      t = static_cast<QLabel*>(f.widget)->text();
      break;
    case FieldKind::Picture:
    case FieldKind::Icon:
      return f.control.text;
    case FieldKind::TextEdit:
    case FieldKind::NumericEdit:
      t = static_cast<QLineEdit*>(f.widget)->text();
      break;
    case FieldKind::DropDownList:
    case FieldKind::EditableDropDown:
      t = static_cast<QComboBox*>(f.widget)->currentText();
      break;
    case FieldKind::ListBox: {
      const QList<QListWidgetItem*> items = static_cast<QListWidget*>(f.widget)->selectedItems();
      if (!items.isEmpty()) t = items.first()->text();
      break;
    }
  }
  return t.toStdString();
}

void Dialog::setText(Field& f, const std::string& value) {
  Quiet quiet(quiet_);
  const QString t = toQt(value);
  switch (f.kind) {
    case FieldKind::PushButton:
    case FieldKind::RadioButton:
    case FieldKind::CheckBox:
      static_cast<QAbstractButton*>(f.widget)->setText(t);
      fitText(f);
      break;
    case FieldKind::GroupBox:
      static_cast<QGroupBox*>(f.widget)->setTitle(t);
      break;
    case FieldKind::Label:
      static_cast<QLabel*>(f.widget)->setText(t);
      fitText(f);
      break;
    case FieldKind::Picture:
    case FieldKind::Icon: {
      f.control.text = value;
      auto* l = static_cast<QLabel*>(f.widget);
      l->setPixmap(DialogPicture(value, l->pixmap().size(), f.kind == FieldKind::Icon));
      break;
    }
    case FieldKind::TextEdit:
    case FieldKind::NumericEdit: {
      auto* e = static_cast<QLineEdit*>(f.widget);
      e->setText(t);
      e->setCursorPosition(0);
      if (f.kind == FieldKind::NumericEdit) {
        ReadNumber(value, f.value);
        f.hasValue = !isBlankText(value);
        f.edited = false;
      }
      break;
    }
    case FieldKind::DropDownList: {
      auto* cb = static_cast<QComboBox*>(f.widget);
      const int match = cb->findText(t, Qt::MatchFixedString);
      if (match >= 0) cb->setCurrentIndex(match);
      break;
    }
    case FieldKind::EditableDropDown:
      static_cast<QComboBox*>(f.widget)->lineEdit()->setText(t);
      f.typed = true;
      break;
    case FieldKind::ListBox:
      break;
  }
}

void Dialog::storeNumber(Field& f, double value, const std::string& text) {
  setText(f, text);
  if (f.kind == FieldKind::NumericEdit) {
    f.value = value;
    f.hasValue = true;
    f.edited = false;
  }
}

void Dialog::fillMenu(Field& f, const std::vector<std::string>& items) {
  Quiet quiet(quiet_);
  QStringList list;
  for (const std::string& item : items) list << toQt(item);
  if (f.kind == FieldKind::ListBox) {
    auto* l = static_cast<QListWidget*>(f.widget);
    l->clear();
    l->addItems(list);
  } else {
    auto* cb = static_cast<QComboBox*>(f.widget);
    cb->clear();
    cb->addItems(list);
  }
  selectItem(f, -1);
}

void Dialog::selectItem(Field& f, int index) {
  Quiet quiet(quiet_);
  if (f.kind == FieldKind::ListBox) {
    auto* l = static_cast<QListWidget*>(f.widget);
    l->clearSelection();
    if (index >= 0 && index < l->count()) {
      l->setCurrentRow(index);
      l->item(index)->setSelected(true);
    } else {
      l->setCurrentItem(nullptr);
    }
  } else {
    auto* cb = static_cast<QComboBox*>(f.widget);
    cb->setCurrentIndex(index >= 0 && index < cb->count() ? index : -1);
    f.typed = false;
  }
}

int Dialog::selectedItem(const Field& f) const {
  if (f.kind == FieldKind::ListBox) {
    auto* l = static_cast<QListWidget*>(f.widget);
    for (int i = 0; i < l->count(); ++i)
      if (l->item(i)->isSelected()) return i;
    return -1;
  }
  if (f.typed) return -1;
  return static_cast<QComboBox*>(f.widget)->currentIndex();
}

void Dialog::setChecked(Field& f, bool checked) {
  Quiet quiet(quiet_);
  auto* b = static_cast<QAbstractButton*>(f.widget);
  if (f.kind == FieldKind::RadioButton && !checked) {
    QButtonGroup* group = buttonGroups_[f.radioGroup];
    group->setExclusive(false);
    b->setChecked(false);
    group->setExclusive(true);
    return;
  }
  b->setChecked(checked);
}

void Dialog::setState(Field& f, int state) {
  if (state < 0 || state > 3) return;
  QWidget* w = f.widget;
  QWidget* focus = QApplication::focusWidget();
  const bool holdsFocus = focus && (focus == w || w->isAncestorOf(focus));
  if ((state == 0 || state == 3) && holdsFocus) {
    // The focus goes to the dialog itself; a numeric field being switched
    // off is not checked on the way out.
    movingFocusAway_ = true;
    setFocus(Qt::OtherFocusReason);
    movingFocusAway_ = false;
  }
  QLineEdit* edit = (f.kind == FieldKind::TextEdit || f.kind == FieldKind::NumericEdit)
                        ? static_cast<QLineEdit*>(w)
                        : nullptr;
  switch (state) {
    case 0:
      w->setEnabled(false);
      break;
    case 1:
      w->setEnabled(true);
      if (edit) edit->setReadOnly((f.control.styles & kStyleReadOnly) != 0);
      break;
    case 2:
      if (edit) {
        w->setEnabled(true);
        edit->setReadOnly(true);
      } else {
        w->setEnabled(false);
      }
      break;
    case 3:
      w->hide();
      break;
  }
  if (state != 3) w->show();
  f.state = state;
}

void Dialog::applyExtendedData(const ExtendedData& data) {
  Quiet quiet(quiet_);
  auto warn = [this](int line, const std::string& what) {
    std::fprintf(stderr, "dialog %d, extended data line %d: %s\n", id_, line, what.c_str());
  };
  auto lookUp = [&](int fieldId, int line, bool fits, const char* what) -> Field* {
    Field* f = field(fieldId);
    if (!f) {
      warn(line, "no field " + std::to_string(fieldId) + " in the template");
      return nullptr;
    }
    if (!fits) {
      warn(line, "field " + std::to_string(fieldId) + " takes no " + what);
      return nullptr;
    }
    return f;
  };
  for (int line : data.malformedLines) warn(line, "entry not understood, ignored");
  for (const auto& m : data.menus) {
    const Field* probe = field(m.id);
    Field* f = lookUp(m.id, m.line, probe && isMenuKind(probe->kind), "menu");
    if (!f) continue;
    fillMenu(*f, m.items);
    const int count = static_cast<int>(m.items.size());
    selectItem(*f, m.initial >= 1 && m.initial <= count ? m.initial - 1 : -1);
  }
  for (const auto& c : data.checks) {
    const Field* probe = field(c.id);
    Field* f = lookUp(c.id, c.line,
                      probe && (probe->kind == FieldKind::RadioButton ||
                                probe->kind == FieldKind::CheckBox),
                      "check mark");
    if (f) setChecked(*f, c.state == 1);
  }
  for (const auto& r : data.ranges) {
    const Field* probe = field(r.id);
    Field* f = lookUp(r.id, r.line, probe && probe->kind == FieldKind::NumericEdit, "range");
    if (!f) continue;
    f->minimum = r.minimum;
    f->maximum = r.maximum;
  }
  for (const auto& fm : data.formats) {
    const Field* probe = field(fm.id);
    Field* f = lookUp(fm.id, fm.line, probe && probe->kind == FieldKind::NumericEdit, "format");
    if (!f) continue;
    NumberFormat parsed;
    if (!ParseNumberFormat(fm.format, parsed)) warn(fm.line, "format \"" + fm.format + "\" not understood");
    f->format = fm.format;
  }
  for (const auto& font : data.fonts) {
    Field* f = lookUp(font.id, font.line, true, "font");
    if (!f) continue;
    f->font = DialogFont(font.face, font.points, font.weight, font.italic);
    f->widget->setFont(f->font);
    fitText(*f);
  }
  for (const auto& l : data.lengths) {
    const Field* probe = field(l.id);
    Field* f = lookUp(l.id, l.line, probe && lineEditOf(*probe), "text length");
    if (!f) continue;
    f->textLimit = l.length;
    lineEditOf(*f)->setMaxLength(l.length > 0 ? l.length : 32767);
  }
}

// ------------------------------------------------------------ showing

void Dialog::giveInitialFocus(int focusField, bool firstShow) {
  QWidget* target = nullptr;
  if (focusField != 0) {
    if (Field* f = field(focusField)) target = f->widget;
  } else {
    // A re-shown dialog keeps the field it last had the focus on; else the
    // first field that takes the focus.
    const Field* remembered = firstShow ? nullptr : fieldOf(focusWidget());
    if (remembered && !remembered->widget->isHidden() && remembered->widget->isEnabled()) {
      target = remembered->widget;
    } else {
      for (Field& f : fields_) {
        QWidget* w = f.widget;
        if (!w->isHidden() && w->isEnabled() && (w->focusPolicy() & Qt::TabFocus)) {
          target = w;
          break;
        }
      }
    }
  }
  if (!target) return;
  target->setFocus(Qt::OtherFocusReason);
  if (QLineEdit* e = lineEditOf(*fieldOf(target))) e->selectAll();
}

// ------------------------------------------------------------ notifications

void Dialog::notification(int fieldId, bool focusNotification) {
  previousField = currentField;
  currentField = fieldId;
  if (focusNotification && previousField == currentField) return;
  report(FieldChanged, previousField, currentField);
}

void Dialog::report(int type, int value1, int value2) {
  MessageRecord record;
  record.win = id_;
  record.value1 = value1;
  record.value2 = value2;
  DeliverMessage(type, record);
}

bool Dialog::eventFilter(QObject* watched, QEvent* event) {
  const QEvent::Type type = event->type();
  if (type != QEvent::FocusIn && type != QEvent::FocusOut)
    return QDialog::eventFilter(watched, event);
  Field* f = fieldOf(watched);
  if (!f) return QDialog::eventFilter(watched, event);
  const bool in = type == QEvent::FocusIn;
  const int fieldId = f->id();
  switch (f->kind) {
    case FieldKind::NumericEdit:
      if (in) {
        numericFocusIn(*f);
        notification(fieldId, true);
      } else {
        numericFocusOut(*f, static_cast<QFocusEvent*>(event)->reason());
        notification(fieldId, false);
      }
      break;
    case FieldKind::TextEdit:
      notification(fieldId, in);
      break;
    case FieldKind::DropDownList:
    case FieldKind::EditableDropDown:
      notification(fieldId, true);
      break;
    case FieldKind::RadioButton:
    case FieldKind::CheckBox:
      if (in) notification(fieldId, true);
      break;
    case FieldKind::ListBox:
      notification(fieldId, false);
      break;
    default:
      break;
  }
  // A numeric field left invalid for a push button that was never pressed
  // complains as soon as another field takes the focus.
  if (in && pendingInvalid_ >= 0 && !refocusQueued_ && &fields_[pendingInvalid_] != f) {
    Field& pending = fields_[pendingInvalid_];
    if (numericValid(pending))
      pendingInvalid_ = -1;
    else
      complainAbout(pending);
  }
  return QDialog::eventFilter(watched, event);
}

// ------------------------------------------------------------ numeric fields

bool Dialog::numericValid(const Field& f) const {
  const std::string t = text(f);
  if (isBlankText(t)) return !(f.hasValue && f.rangeInForce());
  double v = 0.0;
  if (!ReadNumber(t, v)) return false;
  if (!f.rangeInForce()) return true;
  const double stored = asFloat(v);
  return stored >= f.minimum && stored <= f.maximum;
}

void Dialog::numericFocusIn(Field& f) {
  // An invalid field is only ever left for the bell's own refocus, another
  // window or a button: coming back is the same entry, whose saved text and
  // value a press of Plot must still restore.
  if (numericValid(f)) {
    f.savedText = text(f);
    f.savedValue = f.value;
    f.savedHasValue = f.hasValue;
  }
  f.leftByTab = false;
  if (pendingInvalid_ == &f - fields_.data()) {
    pendingInvalid_ = -1;
    refocusQueued_ = false;
  }
}

void Dialog::numericFocusOut(Field& f, Qt::FocusReason reason) {
  f.leftByTab = reason == Qt::TabFocusReason || reason == Qt::BacktabFocusReason;
  if (movingFocusAway_ || !f.widget->isEnabled()) return;
  if (!numericValid(f)) {
    // Leaving for another window or a context menu is no leaving.
    if (reason == Qt::ActiveWindowFocusReason || reason == Qt::PopupFocusReason) return;
    pendingInvalid_ = static_cast<int>(&f - fields_.data());
    const Field* next = fieldOf(QApplication::focusWidget());
    const bool toOtherButton =
        next && next->kind == FieldKind::PushButton && next->id() != kOkButton;
    if (!(toOtherButton && !f.leftByTab)) complainAbout(f);
    return;
  }
  if (!f.edited) return;
  const std::string t = text(f);
  if (isBlankText(t)) {
    f.value = 0.0;
  } else {
    double v = 0.0;
    ReadNumber(t, v);
    f.value = asFloat(v);
    f.hasValue = true;
    std::string shown;
    if (!FormatNumber(f.value, f.format.empty() ? kDefaultNumberFormat : f.format, shown))
      RecordError(kConversionError);
    Quiet quiet(quiet_);
    static_cast<QLineEdit*>(f.widget)->setText(toQt(shown));
  }
  f.edited = false;
}

void Dialog::numericRestore(Field& f) {
  Quiet quiet(quiet_);
  static_cast<QLineEdit*>(f.widget)->setText(toQt(f.savedText));
  f.value = f.savedValue;
  f.hasValue = f.savedHasValue;
  f.edited = false;
}

// The bell, then the focus goes back with the text selected once the
// current focus change is over.
void Dialog::complainAbout(Field& f) {
  Bell();
  const int index = static_cast<int>(&f - fields_.data());
  pendingInvalid_ = index;
  refocusQueued_ = true;
  QTimer::singleShot(0, this, [this, index] {
    Field& field = fields_[index];
    auto* e = static_cast<QLineEdit*>(field.widget);
    if (e->isEnabled() && e->isVisible()) {
      // A drop-down whose click took the focus away does not stay open.
      for (Field& other : fields_) {
        if (other.kind != FieldKind::DropDownList && other.kind != FieldKind::EditableDropDown)
          continue;
        auto* combo = static_cast<ComboField*>(other.widget);
        if (combo->view()->isVisible()) combo->hidePopup();
      }
      MakeActive(this);
      e->setFocus(Qt::OtherFocusReason);
      e->selectAll();
    } else if (pendingInvalid_ == index) {
      pendingInvalid_ = -1;
    }
    refocusQueued_ = false;
  });
}

Field* Dialog::focusedNumericField() {
  Field* f = fieldOf(QApplication::focusWidget());
  return f && f->kind == FieldKind::NumericEdit ? f : nullptr;
}

void Dialog::pressButton(int buttonId) {
  Field* numeric = focusedNumericField();
  if (!numeric && pendingInvalid_ >= 0) numeric = &fields_[pendingInvalid_];
  if (numeric && !numericValid(*numeric)) {
    if (buttonId == kOkButton) {
      complainAbout(*numeric);
      return;
    }
    numericRestore(*numeric);
  }
  pendingInvalid_ = -1;
  if (mode == 1 && isModal() && isVisible()) {
    modalExitButton = buttonId;
    done(buttonId);
    return;
  }
  report(PushButton, buttonId, currentField);
}

void Dialog::keyPressEvent(QKeyEvent* event) {
  const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
  if (enter && !(event->modifiers() & (Qt::ControlModifier | Qt::AltModifier))) {
    // The focused push button is the default one while it has the focus.
    QPushButton* button = qobject_cast<QPushButton*>(focusWidget());
    if (!button) {
      for (Field& f : fields_)
        if (f.kind == FieldKind::PushButton && static_cast<QPushButton*>(f.widget)->isDefault())
          button = static_cast<QPushButton*>(f.widget);
    }
    if (!button)
      pressButton(kOkButton);
    else if (button->isEnabled() && button->isVisible())
      pressButton(fieldOf(button)->id());
    event->accept();
    return;
  }
  QDialog::keyPressEvent(event);
}

// The close box and Escape are the cancel command, button 2, whether or not
// the dialog has such a button; the dialog stays up until the program
// hides it.
void Dialog::reject() { pressButton(kCancelButton); }

void Dialog::closeEvent(QCloseEvent* event) {
  event->ignore();
  reject();
}

}  // namespace toolkit
