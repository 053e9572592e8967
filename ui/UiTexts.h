#pragma once

#include <QString>

// Every text of the window that the user reads, in one place.
namespace UiTexts {

inline const QString kAppName = QStringLiteral("Quillmark"); // message box caption
inline const QString kWindowTitle = QStringLiteral("Brivane V8.4   <支持图片文件批量转PDF");
inline const QString kSubtitle = QStringLiteral("图片(JPG,PNG,BMP,EMF,TIFF,GIF)转PDF");
inline const QString kMakerLine = QStringLiteral("Harrowin科技");
inline const QString kBottomLine = QStringLiteral("Harrowin官方正版，安全放心，官方下载-->>");
inline const QString kListHeading = QStringLiteral("文件路径");
inline const QString kWorking = QStringLiteral("处理中...");

inline const QString kNothingToConvert = QStringLiteral("无可转换的文件");
inline const QString kConversionDone = QStringLiteral("转换完成");
inline const QString kConfirmExit = QStringLiteral("您确定要退出吗 ?");
inline const QString kBadPageSize =
    QStringLiteral("页面尺寸无效：宽和高都必须在 %1 到 %2 像素之间。\n当前为 %3 × %4。");
inline const QString kCannotBegin = QStringLiteral("无法开始转换：%1");
inline const QString kConversionFailed = QStringLiteral("转换失败：%1");

// The end-of-job account when something went wrong.
inline const QString kDocumentsWritten = QStringLiteral("已生成 %1 个PDF文件。");
inline const QString kPicturesWithProblems = QStringLiteral("以下 %1 张图片未能完整转换：");
inline const QString kDocumentsFailed = QStringLiteral("以下 %1 个PDF文件未能生成：");
inline const QString kEmptyFolders = QStringLiteral("以下 %1 个目录中没有图片，已跳过：");
inline const QString kPicturesWithProblemsCount = QStringLiteral("%1 张图片未能完整转换。");
inline const QString kDocumentsFailedCount = QStringLiteral("%1 个PDF文件未能生成。");
inline const QString kEmptyFoldersCount = QStringLiteral("%1 个目录中没有图片，已跳过。");
inline const QString kNoDocumentWritten = QStringLiteral("没有生成任何PDF文件。");
inline const QString kOpenResultFolder = QStringLiteral("打开结果文件夹");
inline const QString kPictureDamaged = QStringLiteral("只读出一部分");
inline const QString kPictureUndecodable = QStringLiteral("无法读取，页面为空白");
inline const QString kPictureNotPrepared = QStringLiteral("未能生成页面");

// Adding sources. The picker's filter as the window was designed with it, in
// the bar-separated form; QtFileFilter turns it into what Qt's picker takes.
inline const QString kPictureFilter =
    QStringLiteral("图片文件(*.jpg;*.jpeg;*.png;*.bmp;*.emf;*.tif;*.tiff;*.gif)"
                   "|*.jpg;*.jpeg;*.png;*.bmp;*.emf;*.tif;*.tiff;*.gif||");
inline const QString kPickSourceFolder = QStringLiteral("请选择路径: ");
inline const QString kPickSaveFolder = QStringLiteral("请选择一个文件夹");

// Editing the list.
inline const QString kSelectOne = QStringLiteral("请选择一项");
inline const QString kConfirmRemove = QStringLiteral("确定删除吗");
inline const QString kRemoved = QStringLiteral("删除成功");
inline const QString kNothingToClear = QStringLiteral("无可清理文件");
inline const QString kConfirmClear = QStringLiteral("确定清空列表吗");
inline const QString kAlreadyFirst = QStringLiteral("已经位于第一行!");
inline const QString kAlreadyLast = QStringLiteral("已经位于最后一行!");

// The About box. The addresses, the contact line and the closing notice are
// set when the program is built (QUILLMARK_WEBSITE_URL and its neighbours in
// ui/CMakeLists.txt).
inline const QString kAboutCaption = QStringLiteral("关于 Quillmark");
inline const QString kWebsiteUrl = QStringLiteral(QUILLMARK_WEBSITE_URL);
inline const QString kShopUrl = QStringLiteral(QUILLMARK_SHOP_URL);
inline const QString kAboutText = QStringLiteral("Brivane\n"
                                                 "版本：V8.4\n" QUILLMARK_CONTACT_LINE "\n"
                                                 "官网：" QUILLMARK_WEBSITE_URL "\n"
                                                 "Harrowin科技出品\n"
                                                 "官方正版，安全放心\n" QUILLMARK_CLOSING_NOTICE);

inline const QString kNoDisplay =
    QStringLiteral("quillmark: no graphical display (DISPLAY or WAYLAND_DISPLAY is not set); "
                   "use quillmark-cli to convert pictures from the command line");

} // namespace UiTexts
