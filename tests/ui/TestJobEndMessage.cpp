// What the window says at the end of a job: short whatever the report holds,
// never "转换完成" for a job that wrote nothing, and a box that fits the screen.
#include "JobSummary.h"
#include "QtShell.h"

#include <QApplication>
#include <QLabel>
#include <QMessageBox>
#include <QTest>

class TestJobEndMessage : public QObject {
    Q_OBJECT
  private slots:
    void summaryStaysShort_data();
    void summaryStaysShort();
    void boxFitsTheScreenWithManyFailures();
    void aPageOfAPictureIsNamedWithItsNumber();
    void cleanedScansAreToldButAreNoFailure();
};

namespace {

const QString kOutput = QStringLiteral("/home/user/Pictures/转换结果20260101120000");

JobReport ReportWith(int pictures, int brokenPictures, int written) {
    JobReport report;
    report.picturesTotal = pictures;
    report.picturesPrepared = pictures - brokenPictures;
    for (int i = 0; i < brokenPictures; ++i) {
        report.AddPictureProblem("/home/user/Pictures/broken-" + std::to_string(i) + ".tif",
                                 PictureOutcome::Undecodable, std::string(300, 'w') + "\nmore of the same");
    }
    for (int i = 0; i < written; ++i) {
        report.documentsWritten.push_back("/home/user/Pictures/out/" + std::to_string(i) + ".pdf");
    }
    return report;
}

} // namespace

void TestJobEndMessage::summaryStaysShort_data() {
    QTest::addColumn<int>("pictures");
    QTest::addColumn<int>("broken");
    QTest::addColumn<int>("written");
    QTest::addColumn<QString>("begins");
    QTest::newRow("all converted") << 3 << 0 << 1 << QStringLiteral("转换完成");
    QTest::newRow("some broken") << 30 << 21 << 1 << QStringLiteral("转换完成\n");
    QTest::newRow("nothing written") << 2 << 0 << 0 << QStringLiteral("转换失败：没有生成任何PDF文件。");
}

void TestJobEndMessage::summaryStaysShort() {
    QFETCH(int, pictures);
    QFETCH(int, broken);
    QFETCH(int, written);
    QFETCH(QString, begins);
    const JobEndMessage message = DescribeJobEnd(ReportWith(pictures, broken, written), kOutput);
    QVERIFY2(message.summary.startsWith(begins), qPrintable(message.summary));
    QVERIFY2(message.summary.count('\n') <= 5, qPrintable(message.summary));
    // Every failed picture is named in the details, each reason on one line.
    QCOMPARE(message.details.count(QStringLiteral("broken-")), broken);
    QVERIFY(!message.details.contains(QStringLiteral("more of the same")));
    // The folder is named whenever there is a document to find in it.
    QCOMPARE(message.place, written > 0 ? QStringLiteral("PDF文件保存在：") + kOutput : QString());
}

void TestJobEndMessage::boxFitsTheScreenWithManyFailures() {
    const JobEndMessage message = DescribeJobEnd(ReportWith(100, 100, 1), kOutput);
    const std::unique_ptr<QMessageBox> box =
        MakeReportBox(nullptr, message.summary, message.place, message.details, true);
    box->show();
    QVERIFY2(box->height() < 600, qPrintable(QString::number(box->height())));
    QCOMPARE(box->buttons().size(), 3); // OK, open the folder, show the details
    // The folder's path can be selected and copied, to paste into a file manager.
    bool copyable = false;
    for (const QLabel* label : box->findChildren<QLabel*>()) {
        if (label->text().contains(kOutput)) {
            copyable = label->textInteractionFlags().testFlag(Qt::TextSelectableByMouse);
        }
    }
    QVERIFY(copyable);
}

void TestJobEndMessage::aPageOfAPictureIsNamedWithItsNumber() {
    JobReport report = ReportWith(3, 0, 1);
    // A path may hold what looks like a placeholder.
    report.AddPictureProblem("/home/user/scans/100%2 done.tif", PictureOutcome::Undecodable, "bad strip", 3);
    const JobEndMessage message = DescribeJobEnd(report, kOutput);
    QVERIFY2(message.details.contains(QStringLiteral("/home/user/scans/100%2 done.tif 的第 3 页：")),
             qPrintable(message.details));
}

void TestJobEndMessage::cleanedScansAreToldButAreNoFailure() {
    JobReport report = ReportWith(2, 0, 1);
    report.scanDecisions.push_back({"/scans/back.png", 0, {0, 0, true}});
    report.scanDecisions.push_back({"/scans/front.png", 0, {-2.5, 180, false}});
    const JobEndMessage message = DescribeJobEnd(report, kOutput);
    QCOMPARE(message.summary, QStringLiteral("转换完成"));
    QVERIFY2(message.details.contains(QStringLiteral("/scans/back.png：空白页，未放入PDF")), qPrintable(message.details));
    QVERIFY2(message.details.contains(QStringLiteral("/scans/front.png：已转正（顺时针 180°），已扶正（-2.50°）")),
             qPrintable(message.details));
}

QTEST_MAIN(TestJobEndMessage)
#include "TestJobEndMessage.moc"
