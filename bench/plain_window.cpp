// The yardstick of the start-up benchmark: a plain Qt Widgets window of Quillo's size with a
// dozen buttons where Quillo's dial pad stands, and nothing else.
#include <QApplication>
#include <QPushButton>
#include <QWidget>

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  QWidget window;
  window.setWindowTitle(QStringLiteral("Plain window"));
  QFont font(QStringLiteral("WenQuanYi Micro Hei"));
  font.setPixelSize(11);
  window.setFont(font);
  window.setFixedSize(344, 252);
  const char* keys[] = {"1", "2", "3", "4", "5", "6", "7", "8", "9", "*", "0", "#"};
  for (int i = 0; i < 12; ++i) {
    auto* key = new QPushButton(QString::fromLatin1(keys[i]), &window);
    key->setGeometry(16 + 56 * (i % 3), 63 + 32 * (i / 3), 48, 24);
  }
  window.show();
  return QApplication::exec();
}
