// A loaded dialog: the window built from its template, the field records
// and the per-dialog message bookkeeping. Internal to the toolkit.
#ifndef TIDECHARTER_TOOLKIT_DIALOG_H
#define TIDECHARTER_TOOLKIT_DIALOG_H

#include <QDialog>
#include <QFont>
#include <QPointer>
#include <string>
#include <vector>

#include "toolkit/dialog_template.h"
#include "toolkit/extended_data.h"

class QButtonGroup;

namespace toolkit {

// The toolkit's record of one field. Ranges start inverted (1000 > -1000),
// which means that no range is in force.
struct Field {
  TemplateControl control;
  FieldKind kind = FieldKind::Label;
  QWidget* widget = nullptr;
  double value = 0.0;
  double minimum = 1000.0;
  double maximum = -1000.0;
  bool hasValue = false;
  std::string format;  // empty: the default format
  int textLimit = 0;
  int state = 1;
  bool leftByTab = false;
  // Numeric fields: edited by the user since the value was last stored;
  // the text and value saved when the field gained the focus.
  bool edited = false;
  std::string savedText;
  double savedValue = 0.0;
  bool savedHasValue = false;
  // Editable drop-downs: text typed since the last selection, so that the
  // list counts as having no selection.
  bool typed = false;
  int radioGroup = -1;  // index into Dialog::radioGroups
  QFont font;           // as designed, before any shrinking to fit

  int id() const { return control.id; }
  bool rangeInForce() const { return minimum <= maximum; }
};

// Asks for `window` to become the active window. Some platforms leave a
// window that was hidden (a closed drop-down list, a hidden dialog) as the
// active one and then ignore the request; the toolkit takes it back then.
void MakeActive(QWidget* window);

class Dialog : public QDialog {
 public:
  // Builds the window, hidden, with every field of the template.
  Dialog(const DialogTemplate& tmpl, int registeredId, QWidget* parent);
  void applyExtendedData(const ExtendedData& data);

  int id() const { return id_; }
  Field* field(int fieldId);
  std::vector<Field>& fields() { return fields_; }
  // The radio buttons of field `f`'s group, in template order.
  const std::vector<int>& radioGroup(const Field& f) const { return radioGroups_[f.radioGroup]; }

  // Field contents, as the toolkit operations see them.
  std::string text(const Field& f) const;
  void setText(Field& f, const std::string& text);
  // Stores a number with its text (numeric fields: also value and flags).
  void storeNumber(Field& f, double value, const std::string& text);
  void fillMenu(Field& f, const std::vector<std::string>& items);
  // Selects item `index` (0-based, -1 none) without any notification.
  void selectItem(Field& f, int index);
  int selectedItem(const Field& f) const;
  void setChecked(Field& f, bool checked);
  void setState(Field& f, int state);

  // Show and hide as WDialogShow and WDialogHide do.
  bool shown = false;
  bool shownBefore = false;
  int mode = 2;
  int currentField = 0;
  int previousField = 0;
  QPointer<QWidget> owner;
  int modalExitButton = -1;
  void giveInitialFocus(int focusField, bool firstShow);

  // A push button press, by the rules for an invalid numeric field.
  void pressButton(int buttonId);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void reject() override;

 private:
  void createField(const TemplateControl& c);
  // Shrinks the font of a caption that would not fit its field.
  void fitText(Field& f);
  void buildRadioGroups();
  void connectNotifications(Field& f);
  // A platform notification from field `fieldId`: focus notifications
  // report only a focus move, all others report the field itself.
  void notification(int fieldId, bool focusNotification);
  void report(int type, int value1, int value2);

  // Numeric fields.
  bool numericValid(const Field& f) const;
  void numericFocusIn(Field& f);
  void numericFocusOut(Field& f, Qt::FocusReason reason);
  void numericRestore(Field& f);
  void complainAbout(Field& f);
  Field* focusedNumericField();

  Field* fieldOf(QObject* widget);

  int id_;
  int baseX_ = 0, baseY_ = 0;  // dialog base units in pixels
  std::vector<Field> fields_;
  std::vector<std::vector<int>> radioGroups_;  // field indices
  std::vector<QButtonGroup*> buttonGroups_;
  int quiet_ = 0;                // >0 while the toolkit itself changes fields
  int pendingInvalid_ = -1;      // numeric field left invalid for a push button
  bool movingFocusAway_ = false; // a field is being disabled or hidden
  bool refocusQueued_ = false;   // a complaint will put the focus back
  friend class ComboField;
  friend class ListField;
};

}  // namespace toolkit

#endif
