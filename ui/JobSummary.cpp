#include "JobSummary.h"

#include "PathText.h"
#include "UiTexts.h"

#include <QDir>
#include <QStringList>

namespace {

QString ShownPath(const std::filesystem::path& path) {
    return QDir::toNativeSeparators(FromPath(path));
}

QString OutcomeText(PictureOutcome outcome) {
    switch (outcome) {
    case PictureOutcome::Damaged:
        return UiTexts::PictureDamaged();
    case PictureOutcome::Undecodable:
        return UiTexts::PictureUndecodable();
    case PictureOutcome::NotPrepared:
        return UiTexts::PictureNotPrepared();
    case PictureOutcome::NotRecognised:
        return UiTexts::PictureNotRecognised();
    case PictureOutcome::ProfileUnused:
        return UiTexts::PictureProfileUnused();
    }
    return {};
}

QString PictureLine(const PictureProblem& problem) {
    const QString picture = problem.page > 0 ? UiTexts::PageOfPicture().arg(ShownPath(problem.source),
                                                                            QString::number(problem.page))
                                             : ShownPath(problem.source);
    if (problem.reason.empty()) {
        return UiTexts::ProblemLine().arg(picture, OutcomeText(problem.outcome));
    }
    return UiTexts::ProblemWithReason().arg(picture, OutcomeText(problem.outcome),
                                            QString::fromStdString(problem.reason));
}

QString DocumentLine(const DocumentProblem& problem) {
    return UiTexts::ProblemLine().arg(ShownPath(problem.document), QString::fromStdString(problem.reason));
}

QString ScanLine(const ScanDecision& decision) {
    const QString picture = decision.page > 0 ? UiTexts::PageOfPicture().arg(ShownPath(decision.source),
                                                                             QString::number(decision.page))
                                              : ShownPath(decision.source);
    QStringList done;
    if (decision.scan.blank) {
        done << UiTexts::ScanBlankLeftOut();
    }
    if (decision.scan.turnedBy != 0) {
        done << UiTexts::ScanTurnedUpright().arg(decision.scan.turnedBy);
    }
    if (decision.scan.straightenedBy != 0) {
        done << UiTexts::ScanStraightened().arg(decision.scan.straightenedBy, 0, 'f', 2);
    }
    return UiTexts::ProblemLine().arg(picture, done.join(UiTexts::ScanSeparator()));
}

// A heading with the number of entries, then one line each.
template <typename Items, typename Line>
void AppendList(QStringList& lines, const QString& heading, const Items& items, Line line) {
    if (items.empty()) {
        return;
    }
    if (!lines.isEmpty()) {
        lines << QString();
    }
    lines << heading.arg(items.size());
    for (const auto& item : items) {
        lines << QStringLiteral("  ") + line(item);
    }
}

// The first reason the report gives, for a job that wrote nothing.
QString FirstReason(const JobReport& report) {
    if (!report.documentProblems.empty()) {
        return DocumentLine(report.documentProblems.front());
    }
    if (!report.pictureProblems.empty()) {
        return PictureLine(report.pictureProblems.front());
    }
    return {};
}

} // namespace

JobEndMessage DescribeJobEnd(const JobReport& report, const QString& outputFolder) {
    JobEndMessage message;
    QStringList details;
    AppendList(details, UiTexts::PicturesWithProblems(), report.pictureProblems, PictureLine);
    AppendList(details, UiTexts::DocumentsFailed(), report.documentProblems, DocumentLine);
    AppendList(details, UiTexts::EmptyFolders(), report.emptyGroups,
               [](const std::filesystem::path& folder) { return ShownPath(folder); });
    AppendList(details, UiTexts::ScanDecisionsHeading(), report.scanDecisions, ScanLine);
    message.details = details.join(QLatin1Char('\n'));

    if (!report.documentsWritten.empty()) {
        message.place = UiTexts::DocumentsSavedIn().arg(outputFolder);
    }
    if (!report.jobError.empty()) {
        message.summary = UiTexts::ConversionFailed().arg(QString::fromStdString(report.jobError));
        return message;
    }
    if (report.NothingWritten()) {
        message.summary = UiTexts::ConversionFailed().arg(UiTexts::NoDocumentWritten());
        if (const QString reason = FirstReason(report); !reason.isEmpty()) {
            message.summary += QLatin1Char('\n') + reason;
        }
        return message;
    }
    if (report.AllWell() && report.emptyGroups.empty()) {
        message.summary = UiTexts::ConversionDone();
        return message;
    }
    QStringList summary{UiTexts::ConversionDone(), QString(),
                        UiTexts::DocumentsWritten().arg(report.documentsWritten.size())};
    if (!report.pictureProblems.empty()) {
        summary << UiTexts::PicturesWithProblemsCount().arg(report.pictureProblems.size());
    }
    if (!report.documentProblems.empty()) {
        summary << UiTexts::DocumentsFailedCount().arg(report.documentProblems.size());
    }
    if (!report.emptyGroups.empty()) {
        summary << UiTexts::EmptyFoldersCount().arg(report.emptyGroups.size());
    }
    message.summary = summary.join(QLatin1Char('\n'));
    return message;
}
