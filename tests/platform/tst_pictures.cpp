#include "pictures.h"

#include <QImage>
#include <QtTest>

class TestPictures : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void rendersEachPicture_data();
    void rendersEachPicture();
    void pointerHasItsHotSpot();
    void missingPictureIsEmpty();
};

void TestPictures::rendersEachPicture_data()
{
    QTest::addColumn<QString>("resource");
    QTest::addColumn<QSize>("size");
    QTest::newRow("logo") << pictures::logo << QSize(89, 100);
    QTest::newRow("main menu icon") << pictures::mainMenuIcon << QSize(32, 32);
    QTest::newRow("record window icon") << pictures::recordIcon << QSize(32, 32);
    QTest::newRow("pointer") << pictures::pointer << QSize(32, 32);
}

void TestPictures::rendersEachPicture()
{
    QFETCH(QString, resource);
    QFETCH(QSize, size);
    const QImage image = pictures::render(resource, size).toImage();
    QCOMPARE(image.size(), size);
    int painted = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            painted += qAlpha(image.pixel(x, y)) > 0;
    QVERIFY2(painted > image.width() * image.height() / 10, "the picture is nearly blank");
}

void TestPictures::pointerHasItsHotSpot()
{
    const QCursor cursor = pictures::pointerCursor();
    QCOMPARE(cursor.shape(), Qt::BitmapCursor);
    QCOMPARE(cursor.hotSpot(), QPoint(11, 1));
    QCOMPARE(cursor.pixmap().size(), QSize(32, 32));
}

void TestPictures::missingPictureIsEmpty()
{
    QVERIFY(pictures::render(QStringLiteral(":/assets/nothing.svg"), QSize(8, 8)).isNull());
}

QTEST_MAIN(TestPictures)
#include "tst_pictures.moc"
