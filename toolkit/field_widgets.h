// The toolkit's own field widgets where the standard ones do not behave as
// the dialog fields must. Internal to the toolkit.
#ifndef TIDECHARTER_TOOLKIT_FIELD_WIDGETS_H
#define TIDECHARTER_TOOLKIT_FIELD_WIDGETS_H

#include <QComboBox>
#include <QLineEdit>
#include <functional>

namespace toolkit {

// Real-number field: only characters that can make a number get in; the
// rest sound the bell. Enter is left to the dialog (its default button).
class NumericEdit : public QLineEdit {
 public:
  explicit NumericEdit(QWidget* parent) : QLineEdit(parent) {}
  // True for a key the field refuses.
  static bool refused(const QKeyEvent* event);

 protected:
  void keyPressEvent(QKeyEvent* event) override;
};

// Drop-down that tells when its list opens and closes.
class ComboField : public QComboBox {
 public:
  explicit ComboField(QWidget* parent) : QComboBox(parent) {}
  std::function<void()> listOpened, listClosed;
  void showPopup() override;
  void hidePopup() override;
};

}  // namespace toolkit

#endif
