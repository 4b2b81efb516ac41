// Every icon the window and the list use is in the resource bundle under its
// name and renders at 1x (16 px) and 2x (32 px) as a visible shape.
#include <QIcon>
#include <QImage>
#include <QImageReader>
#include <QPixmap>
#include <QtTest>

namespace {

const char* const kIconNames[] = {
    "file-new",         "file-open",      "file-save",        "file-print",
    "sync",             "copy",           "delete",           "compare",
    "filter-all",       "filter-unequal", "filter-to-target", "filter-to-source",
    "filter-equal",     "about",          "folder",           "document",
    "state-unchecked",  "state-checked",  "kirvo"};

int OpaquePixels(const QImage& image) {
  int count = 0;
  for (int y = 0; y < image.height(); ++y) {
    for (int x = 0; x < image.width(); ++x) {
      if (qAlpha(image.pixel(x, y)) > 128) ++count;
    }
  }
  return count;
}

}  // namespace

class IconResourcesTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() {
    Q_INIT_RESOURCE(kirvo);  // the bundle lives in the static GUI library
    QVERIFY2(QImageReader::supportedImageFormats().contains("svg"),
             "Qt's SVG image plugin (libqt6svg6) is missing");
  }

  void rendersAtBothScales_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("size");
    for (const char* name : kIconNames) {
      for (int size : {16, 32}) {
        QTest::addRow("%s@%d", name, size) << QString::fromLatin1(name) << size;
      }
    }
  }

  void rendersAtBothScales() {
    QFETCH(QString, name);
    QFETCH(int, size);
    const QString path = QStringLiteral(":/icons/%1.svg").arg(name);
    QVERIFY2(QFile::exists(path), qPrintable(path + " is not in the resource bundle"));

    const QImage image(QIcon(path).pixmap(size, size).toImage().convertToFormat(QImage::Format_ARGB32));
    QCOMPARE(image.size(), QSize(size, size));
    // A recognisable shape covers a good part of the square, but not all of it.
    const int opaque = OpaquePixels(image);
    QVERIFY2(opaque >= size * size / 5, qPrintable(QStringLiteral("only %1 opaque pixels").arg(opaque)));
    QVERIFY2(opaque < size * size, "no transparent pixel at all");
  }

  void checkBoxesDifferOnlyByTheTick() {
    const QImage unchecked = QIcon(QStringLiteral(":/icons/state-unchecked.svg")).pixmap(16, 16).toImage();
    const QImage checked = QIcon(QStringLiteral(":/icons/state-checked.svg")).pixmap(16, 16).toImage();
    QVERIFY(unchecked != checked);
    QCOMPARE(unchecked.pixel(2, 2), checked.pixel(2, 2));  // same frame
  }
};

QTEST_MAIN(IconResourcesTest)
#include "icon_resources_qtest.moc"
