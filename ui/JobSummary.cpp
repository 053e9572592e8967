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
        return UiTexts::kPictureDamaged;
    case PictureOutcome::Undecodable:
        return UiTexts::kPictureUndecodable;
    case PictureOutcome::NotPrepared:
        return UiTexts::kPictureNotPrepared;
    }
    return {};
}

// A heading with the number of entries, then at most `maxItems` of them.
template <typename Items, typename Line>
void AppendList(QStringList& lines, const QString& heading, const Items& items, int maxItems, Line line) {
    if (items.empty()) {
        return;
    }
    lines << QString() << heading.arg(items.size());
    int shown = 0;
    for (const auto& item : items) {
        if (shown++ == maxItems) {
            lines << UiTexts::kMoreItems.arg(static_cast<qsizetype>(items.size()) - maxItems);
            break;
        }
        lines << QStringLiteral("  ") + line(item);
    }
}

} // namespace

QString DescribeJobEnd(const JobReport& report, int maxItemsPerList) {
    if (!report.jobError.empty()) {
        return UiTexts::kConversionFailed.arg(QString::fromStdString(report.jobError));
    }
    if (report.AllWell() && report.emptyGroups.empty()) {
        return UiTexts::kConversionDone;
    }
    QStringList lines{UiTexts::kConversionDone, QString(),
                      UiTexts::kDocumentsWritten.arg(report.documentsWritten.size())};
    AppendList(lines, UiTexts::kPicturesWithProblems, report.pictureProblems, maxItemsPerList,
               [](const PictureProblem& problem) {
                   QString text =
                       ShownPath(problem.source) + QStringLiteral("：") + OutcomeText(problem.outcome);
                   if (!problem.reason.empty()) {
                       text += QStringLiteral("（%1）").arg(QString::fromStdString(problem.reason));
                   }
                   return text;
               });
    AppendList(lines, UiTexts::kDocumentsFailed, report.documentProblems, maxItemsPerList,
               [](const DocumentProblem& problem) {
                   return ShownPath(problem.document) + QStringLiteral("：") +
                          QString::fromStdString(problem.reason);
               });
    AppendList(lines, UiTexts::kEmptyFolders, report.emptyGroups, maxItemsPerList,
               [](const std::filesystem::path& folder) { return ShownPath(folder); });
    return lines.join(QLatin1Char('\n'));
}
