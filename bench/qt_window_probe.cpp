// The start-up of Qt alone, for comparison with the program's: a dialog of
// the main menu's size with a text and a button, shown as soon as the
// application object exists.
#include <QApplication>
#include <QDialog>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QDialog dialog;
  dialog.setWindowTitle(QStringLiteral("Qt window probe"));
  auto* layout = new QVBoxLayout(&dialog);
  layout->addWidget(new QLabel(QStringLiteral("Welcome to the probe"), &dialog));
  layout->addWidget(new QPushButton(QStringLiteral("OK"), &dialog));
  dialog.resize(610, 450);
  dialog.show();
  return app.exec();
}
