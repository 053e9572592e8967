#pragma once

#include <QCoreApplication>
#include <QString>

// Every text of the window that the user reads, in one place. The Chinese
// texts are the source texts; the functions return them in the language the
// program chose at start (share/translations holds the other languages), so
// they must be called after that choice, never kept in static constants.
// The constants are names and addresses that stay the same in every language.
class UiTexts {
    Q_DECLARE_TR_FUNCTIONS(UiTexts)

  public:
    static inline const QString kAppName = QStringLiteral("Quillmark"); // message box caption
    static QString WindowTitle() { return tr("Brivane V8.4   <支持图片文件批量转PDF"); }
    static QString MakerLine() { return tr("Harrowin科技"); }

    static QString Subtitle() { return tr("图片(JPG,PNG,BMP,EMF,TIFF,GIF)转PDF"); }
    static QString BottomLine() { return tr("Harrowin官方正版，安全放心，官方下载-->>"); }
    static QString ListHeading() { return tr("文件路径"); }
    static QString Working() { return tr("处理中..."); }
    // Beside the progress squares: pictures prepared, then documents written.
    static QString PicturesProgress() { return tr("%1 / %2"); }
    static QString DocumentsProgress() { return tr("PDF %1 / %2"); }

    // The encryption choice beside the password.
    static QString EncryptionChoice() { return tr("加密方式"); }
    static QString EncryptionRc4() { return tr("RC4 128位（兼容所有阅读器）"); }
    static QString EncryptionAes256() { return tr("AES-256（更安全，需较新的阅读器）"); }

    static QString NothingToConvert() { return tr("无可转换的文件"); }
    static QString ConversionDone() { return tr("转换完成"); }
    static QString ConfirmExit() { return tr("您确定要退出吗 ?"); }
    static QString BadPageSize() {
        return tr("页面尺寸无效：宽和高都必须在 %1 到 %2 像素之间。\n当前为 %3 × %4。");
    }
    static QString NoSuchSaveFolder() { return tr("保存目录不存在：%1"); }
    static QString SaveFolderNotWritable() { return tr("无法写入保存目录：%1\n请选择另一个目录。"); }
    static QString FolderNotAdded() { return tr("无法添加目录：%1"); }
    static QString BadResolution() { return tr("分辨率无效：必须在 %1 到 %2 dpi 之间。\n当前为 %3 dpi。"); }
    static QString BadMargin() { return tr("页边距无效：必须不小于 0，并给图片留出地方。\n当前为 %1。"); }
    static QString CannotBegin() { return tr("无法开始转换：%1"); }
    static QString ConversionFailed() { return tr("转换失败：%1"); }

    // The end-of-job account when something went wrong.
    static QString DocumentsWritten() { return tr("已生成 %1 个PDF文件。"); }
    static QString PicturesWithProblems() { return tr("以下 %1 张图片未能完整转换："); }
    static QString DocumentsFailed() { return tr("以下 %1 个PDF文件未能生成："); }
    static QString EmptyFolders() { return tr("以下 %1 个目录中没有图片，已跳过："); }
    static QString ScanDecisionsHeading() { return tr("以下 %1 页扫描件经过处理："); }
    static QString ScanBlankLeftOut() { return tr("空白页，未放入PDF"); }
    static QString ScanTurnedUpright() { return tr("已转正（顺时针 %1°）"); }
    static QString ScanStraightened() { return tr("已扶正（%1°）"); }
    static QString ScanSeparator() { return tr("，"); }
    static QString PicturesWithProblemsCount() { return tr("%1 张图片未能完整转换。"); }
    static QString DocumentsFailedCount() { return tr("%1 个PDF文件未能生成。"); }
    static QString EmptyFoldersCount() { return tr("%1 个目录中没有图片，已跳过。"); }
    static QString NoDocumentWritten() { return tr("没有生成任何PDF文件。"); }
    static QString OpenResultFolder() { return tr("打开结果文件夹"); }
    // Where the job's documents went, and what to do when no file manager opens it.
    static QString DocumentsSavedIn() { return tr("PDF文件保存在：%1"); }
    static QString CannotOpenFolder() { return tr("无法打开文件夹，请在文件管理器中打开：\n%1"); }
    static QString ProblemLine() { return tr("%1：%2"); }
    static QString ProblemWithReason() { return tr("%1：%2（%3）"); }
    static QString PictureDamaged() { return tr("只读出一部分"); }
    static QString PictureUndecodable() { return tr("无法读取，页面为空白"); }
    static QString PictureNotPrepared() { return tr("未能生成页面"); }
    static QString PictureNotRecognised() { return tr("未能识别文字，页面不可搜索"); }
    static QString PictureProfileUnused() { return tr("颜色配置文件无法使用，颜色可能有偏差"); }
    // One page of a picture of several pages: the picture's path, the page number.
    static QString PageOfPicture() { return tr("%1 的第 %2 页"); }

    // Adding sources. The picker's filter as the window was designed with it,
    // in the bar-separated form; QtFileFilter turns it into what Qt's picker takes.
    static QString PictureFilter() {
        return tr("图片文件(*.jpg;*.jpeg;*.png;*.bmp;*.emf;*.tif;*.tiff;*.gif;"
                  "*.heic;*.heif;*.avif;*.webp;*.jxl;*.jp2;*.j2k)"
                  "|*.jpg;*.jpeg;*.png;*.bmp;*.emf;*.tif;*.tiff;*.gif;"
                  "*.heic;*.heif;*.avif;*.webp;*.jxl;*.jp2;*.j2k||");
    }
    static QString PickSourceFolder() { return tr("请选择路径: "); }
    static QString PickSaveFolder() { return tr("请选择一个文件夹"); }

    // Editing the list.
    static QString SelectOne() { return tr("请选择一项"); }
    static QString ConfirmRemove() { return tr("确定删除吗"); }
    static QString Removed() { return tr("删除成功"); }
    static QString NothingToClear() { return tr("无可清理文件"); }
    static QString ConfirmClear() { return tr("确定清空列表吗"); }
    static QString AlreadyFirst() { return tr("已经位于第一行!"); }
    static QString AlreadyLast() { return tr("已经位于最后一行!"); }
    // The list's context menu and the Delete key.
    static QString RemoveSelected() { return tr("删除选中的项"); }
    static QString ConfirmRemoveMany() { return tr("确定删除选中的 %1 项吗"); }
    static QString SortNameAscending() { return tr("按名称排序（升序）"); }
    static QString SortNameDescending() { return tr("按名称排序（降序）"); }
    static QString SortOldestFirst() { return tr("按修改时间排序（从旧到新）"); }
    static QString SortNewestFirst() { return tr("按修改时间排序（从新到旧）"); }

    // The page settings beside the size fields, and their dialog.
    static QString MoreSettingsWithPaper() { return tr("%1…"); } // the paper's name
    static QString PageSettingsTitle() { return tr("更多设置"); }
    static QString PageTab() { return tr("页面"); }
    static QString PicturesTab() { return tr("图片"); }
    static QString DocumentTab() { return tr("文档"); }
    static QString TextTab() { return tr("文字识别"); }
    static QString ScansTab() { return tr("扫描件"); }
    static QString Deskew() { return tr("纠正扫描歪斜的文字页面"); }
    static QString DeskewHint() { return tr("按文字行把页面扶正（最多10度）；照片和图画保持原样。"); }
    static QString AutoRotate() { return tr("按文字方向自动转正页面"); }
    static QString AutoRotateHint() { return tr("横放或倒放扫描的页面，按其中文字的方向转正；无把握时保持原样。"); }
    static QString AutoRotateNotInstalled() { return tr("需要安装方向识别数据（软件包 tesseract-ocr-osd）"); }
    static QString SkipBlank() { return tr("跳过空白页"); }
    static QString SkipBlankHint() { return tr("只有纸色、噪点和灰尘的页面不放入PDF；有任何内容（哪怕是淡淡的铅笔字）的页面都保留。"); }
    static QString Bilevel() { return tr("以黑白保存页面"); }
    static QString BilevelHint() { return tr("灰度和彩色扫描件转为黑白，文字页面的文件小得多。"); }
    static QString PaperLabel() { return tr("纸张大小："); }
    static QString PaperCustom() { return tr("自定义尺寸（像素）"); }
    static QString PaperPicture() { return tr("图片尺寸"); }
    static QString PaperWithDpi() { return tr("%1，%2 dpi"); }
    static QString DpiLabel() { return tr("分辨率："); }
    static QString DpiSuffix() { return tr(" dpi"); }
    static QString OrientationLabel() { return tr("页面方向："); }
    static QString OrientAsSized() { return tr("按纸张尺寸"); }
    static QString OrientPortrait() { return tr("纵向"); }
    static QString OrientLandscape() { return tr("横向"); }
    static QString OrientAuto() { return tr("自动（随图片方向）"); }
    static QString MarginLabel() { return tr("页边距："); }
    static QString MarginValue() { return tr("%1 %2"); } // a number, its unit
    static QString Millimetres() { return tr("毫米"); }
    static QString Pixels() { return tr("像素"); }
    static QString FitLabel() { return tr("图片缩放："); }
    static QString FitFit() { return tr("适应页面（放大或缩小）"); }
    static QString FitShrink() { return tr("只缩小（小图保持原大小）"); }
    static QString KeepJpeg() { return tr("JPEG图片原样放入PDF（不重新压缩）"); }
    static QString KeepJpegHint() {
        return tr("灰度或彩色的JPEG图片原样放入PDF，不损失画质，速度更快；其他图片照常转换。");
    }
    static QString Lossless() { return tr("图片原样保留（不缩放、无损压缩）"); }
    static QString LosslessHint() {
        return tr("每页显示图片本身的像素，不缩放：PNG、黑白扫描和JPEG 2000原样放入，其他图片无损压缩；"
                  "HEIC、AVIF、有损WebP和JPEG XL本身有损，仍按JPEG质量保存。");
    }
    static QString Bookmarks() { return tr("合并的PDF中为每张图片添加书签"); }
    static QString BookmarksHint() { return tr("书签以图片的文件名命名；多页图片的各页列在其下。"); }
    static QString PdfALabel() { return tr("存档格式："); }
    static QString PdfANone() { return tr("普通PDF"); }
    static QString PdfA1b() { return tr("PDF/A-1b（长期存档）"); }
    static QString PdfA2b() { return tr("PDF/A-2b（长期存档）"); }
    static QString PdfAHint() { return tr("PDF/A 不允许加密：不能同时设置密码或禁止打印。"); }
    static QString PdfANoEncryption() {
        return tr("PDF/A 不允许加密：请取消密码和禁止打印，或不使用 PDF/A。");
    }
    static QString PropertiesGroup() { return tr("文档属性"); }
    static QString TitleLabel() { return tr("标题："); }
    static QString TitleHint() { return tr("留空则以目录或图片的名称为标题"); }
    static QString AuthorLabel() { return tr("作者："); }
    static QString SubjectLabel() { return tr("主题："); }
    static QString KeywordsLabel() { return tr("关键词："); }
    static QString OrderLabel() { return tr("目录中图片的顺序："); }
    static QString OrderStandard() { return tr("默认顺序"); }
    static QString OrderStandardHint() {
        return tr("默认顺序：添加目录时按修改时间从旧到新；遍历二级目录时按文件名");
    }
    static QString OrderTime() { return tr("按修改时间（从旧到新）"); }
    static QString OrderName() { return tr("按文件名（自然顺序）"); }
    static QString PageSummary() {
        return tr("纸张：%1\n页面方向：%2\n页边距：%3\n图片缩放：%4\n目录中图片的顺序：%5");
    }
    static QString OcrLabel() { return tr("文字识别："); }
    static QString OcrBox() { return tr("识别文字，生成可搜索的PDF"); }
    static QString OcrLanguagesLabel() { return tr("识别语言："); }
    static QString OcrNotInstalled() { return tr("未安装文字识别语言（如 tesseract-ocr-chi-sim）"); }
    static QString OcrSummary() { return tr("文字识别：%1"); }
    static QString OcrOff() { return tr("关闭"); }
    static QString OcrChineseSimplified() { return tr("简体中文"); }
    static QString OcrChineseTraditional() { return tr("繁体中文"); }
    static QString OcrEnglish() { return tr("英语"); }
    static QString OcrJapanese() { return tr("日语"); }
    static QString OcrKorean() { return tr("韩语"); }
    static QString ListSeparator() { return tr("、"); }
    static QString Ok() { return tr("确定"); }
    static QString Cancel() { return tr("取消"); }

    // Previews of the listed pictures.
    static QString PreviewLoading() { return tr("正在生成预览..."); }
    static QString PreviewFailed() { return tr("无法预览：%1"); }
    static QString PreviewNoDecoder() { return tr("找不到解码程序 quillmark-render"); }
    static QString PreviewNoFolder() { return tr("无法创建预览目录：%1"); }
    static QString PreviewTimedOut() { return tr("超过 %1 秒仍未完成，已放弃"); }
    static QString PreviewCannotStart() { return tr("无法启动解码程序：%1"); }
    static QString PreviewCrashed() { return tr("解码程序崩溃（%1）"); }
    static QString PreviewUnreadable() { return tr("无法读回预览图片"); }
    static QString PreviewExitCode() { return tr("解码程序异常退出，退出码 %1"); }

    // The About box. The addresses, the contact line and the closing notice
    // can be set when the program is built (QUILLMARK_WEBSITE_URL and its
    // neighbours in the top CMakeLists.txt).
    static QString AboutCaption() { return tr("关于 Quillmark"); }
    static inline const QString kWebsiteUrl = QStringLiteral(QUILLMARK_WEBSITE_URL);
    static inline const QString kShopUrl = QStringLiteral(QUILLMARK_SHOP_URL);
    static QString AboutText() {
        const QString contact = sizeof(QUILLMARK_CONTACT_LINE) > 1 ? QStringLiteral(QUILLMARK_CONTACT_LINE)
                                                                   : tr("客服账号：quillmark-support");
        const QString closing = sizeof(QUILLMARK_CLOSING_NOTICE) > 1
                                    ? QStringLiteral(QUILLMARK_CLOSING_NOTICE)
                                    : tr("感谢使用，欢迎提出宝贵意见");
        return tr("Brivane\n版本：V8.4\n%1\n官网：%2\nHarrowin科技出品\n官方正版，安全放心\n%3")
            .arg(contact, kWebsiteUrl, closing);
    }

    static inline const QString kNoDisplay =
        QStringLiteral("quillmark: no graphical display (DISPLAY or WAYLAND_DISPLAY is not set); "
                       "use quillmark-cli to convert pictures from the command line");
    static inline const QString kHandOverUnanswered =
        QStringLiteral("quillmark: the running copy did not answer in time; "
                       "opening the files in a window of their own");
};
