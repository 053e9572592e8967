<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en" sourcelanguage="zh_CN">
<context>
    <name>DialogTemplate</name>
    <message>
        <source>确定</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>取消</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>添加文件</source>
        <translation>Add Files</translation>
    </message>
    <message>
        <source>添加目录</source>
        <translation>Add Folder</translation>
    </message>
    <message>
        <source>开始转换</source>
        <translation>Start</translation>
    </message>
    <message>
        <source>移除文件</source>
        <translation>Remove</translation>
    </message>
    <message>
        <source>清空列表</source>
        <translation>Clear List</translation>
    </message>
    <message>
        <source>移至开始</source>
        <translation>To Top</translation>
    </message>
    <message>
        <source>上移文件</source>
        <translation>Up</translation>
    </message>
    <message>
        <source>下移文件</source>
        <translation>Down</translation>
    </message>
    <message>
        <source>移至结尾</source>
        <translation>To Bottom</translation>
    </message>
    <message>
        <source>设置密码</source>
        <translation>Protect</translation>
    </message>
    <message>
        <source>禁止打印</source>
        <translation>No print</translation>
    </message>
    <message>
        <source>保存目录：</source>
        <translation>Save to:</translation>
    </message>
    <message>
        <source>修改目录</source>
        <translation>Change</translation>
    </message>
    <message>
        <source>查看结果</source>
        <translation>Open</translation>
    </message>
    <message>
        <source>宽：</source>
        <translation>W:</translation>
    </message>
    <message>
        <source>高：</source>
        <translation>H:</translation>
    </message>
    <message>
        <source>自定义尺寸（像素）</source>
        <translation>Custom size (px)</translation>
    </message>
    <message>
        <source>合并到一个PDF文件</source>
        <translation>One merged PDF</translation>
    </message>
    <message>
        <source>逐一转换成PDF</source>
        <translation>One PDF each</translation>
    </message>
    <message>
        <source>关于我们</source>
        <translation>About</translation>
    </message>
    <message>
        <source>文件数：</source>
        <translation>Files:</translation>
    </message>
    <message>
        <source>设置</source>
        <translation>Settings</translation>
    </message>
    <message>
        <source>支持文件直接拖入</source>
        <translation>Drop files here</translation>
    </message>
    <message>
        <source>遍历二级目录转换</source>
        <translation>Convert subfolders</translation>
    </message>
    <message>
        <source>访问官网</source>
        <translation>Website</translation>
    </message>
    <message>
        <source>访问官方淘宝店</source>
        <translation>Shop</translation>
    </message>
    <message>
        <source>更多…</source>
        <translation>More…</translation>
    </message>
</context>
<context>
    <name>UiTexts</name>
    <message>
        <source>Brivane V8.4   &lt;支持图片文件批量转PDF</source>
        <translation>Brivane V8.4   – batch pictures to PDF</translation>
    </message>
    <message>
        <source>Harrowin科技</source>
        <translation>Harrowin Tech</translation>
    </message>
    <message>
        <source>无法写入保存目录：%1
请选择另一个目录。</source>
        <translation>The save folder cannot be written to: %1
Choose another folder.</translation>
    </message>
    <message>
        <source>PDF文件保存在：%1</source>
        <translation>The PDF files are in: %1</translation>
    </message>
    <message>
        <source>无法打开文件夹，请在文件管理器中打开：
%1</source>
        <translation>The folder could not be opened; open it in a file manager:
%1</translation>
    </message>
    <message>
        <source>图片(JPG,PNG,BMP,EMF,TIFF,GIF)转PDF</source>
        <translation>JPG,PNG,BMP,EMF,TIFF,GIF to PDF</translation>
    </message>
    <message>
        <source>Harrowin官方正版，安全放心，官方下载--&gt;&gt;</source>
        <translation>Official Harrowin download --&gt;&gt;</translation>
    </message>
    <message>
        <source>文件路径</source>
        <translation>File path</translation>
    </message>
    <message>
        <source>处理中...</source>
        <translation>Working...</translation>
    </message>
    <message>
        <source>JPEG图片原样放入PDF（不重新压缩）</source>
        <translation>Put JPEG pictures in as they are (no re-compression)</translation>
    </message>
    <message>
        <source>灰度或彩色的JPEG图片原样放入PDF，不损失画质，速度更快；其他图片照常转换。</source>
        <translation>Grey or colour JPEG pictures go into the PDF byte for byte: no loss of quality, and faster. Other pictures are converted as usual.</translation>
    </message>
    <message>
        <source>图片原样保留（不缩放、无损压缩）</source>
        <translation>Keep pictures exactly</translation>
    </message>
    <message>
        <source>每页显示图片本身的像素，不缩放：PNG、黑白扫描和JPEG 2000原样放入，其他图片无损压缩；HEIC、AVIF、有损WebP和JPEG XL本身有损，仍按JPEG质量保存。</source>
        <translation>Every page shows the picture's own pixels, never resampled: PNGs, black-and-white scans and JPEG 2000 go in as they are, other pictures are compressed losslessly. HEIC, AVIF, lossy WebP and JPEG XL are lossy already and are stored as JPEGs at the JPEG quality.</translation>
    </message>
    <message>
        <source>加密方式</source>
        <translation>Encryption</translation>
    </message>
    <message>
        <source>RC4 128位（兼容所有阅读器）</source>
        <translation>RC4 128-bit (opens in every reader)</translation>
    </message>
    <message>
        <source>AES-256（更安全，需较新的阅读器）</source>
        <translation>AES-256 (safer, needs a recent reader)</translation>
    </message>
    <message>
        <source>%1 / %2</source>
        <translation>%1 / %2</translation>
    </message>
    <message>
        <source>PDF %1 / %2</source>
        <translation>PDF %1 / %2</translation>
    </message>
    <message>
        <source>无可转换的文件</source>
        <translation>There are no files to convert.</translation>
    </message>
    <message>
        <source>转换完成</source>
        <translation>Conversion complete.</translation>
    </message>
    <message>
        <source>您确定要退出吗 ?</source>
        <translation>Do you really want to quit?</translation>
    </message>
    <message>
        <source>页面尺寸无效：宽和高都必须在 %1 到 %2 像素之间。
当前为 %3 × %4。</source>
        <translation>Invalid page size: width and height must each be between %1 and %2 pixels.
They are %3 × %4.</translation>
    </message>
    <message>
        <source>保存目录不存在：%1</source>
        <translation>The save folder does not exist: %1</translation>
    </message>
    <message>
        <source>无法添加目录：%1</source>
        <translation>The folder could not be added: %1</translation>
    </message>
    <message>
        <source>无法开始转换：%1</source>
        <translation>Cannot start the conversion: %1</translation>
    </message>
    <message>
        <source>转换失败：%1</source>
        <translation>The conversion failed: %1</translation>
    </message>
    <message>
        <source>已生成 %1 个PDF文件。</source>
        <translation>PDF files written: %1.</translation>
    </message>
    <message>
        <source>以下 %1 张图片未能完整转换：</source>
        <translation>Pictures not converted completely (%1):</translation>
    </message>
    <message>
        <source>以下 %1 个PDF文件未能生成：</source>
        <translation>PDF files not written (%1):</translation>
    </message>
    <message>
        <source>以下 %1 个目录中没有图片，已跳过：</source>
        <translation>Folders without pictures, skipped (%1):</translation>
    </message>
    <message>
        <source>%1：%2</source>
        <translation>%1: %2</translation>
    </message>
    <message>
        <source>%1：%2（%3）</source>
        <translation>%1: %2 (%3)</translation>
    </message>
    <message>
        <source>只读出一部分</source>
        <translation>only partly readable</translation>
    </message>
    <message>
        <source>无法读取，页面为空白</source>
        <translation>unreadable, the page is blank</translation>
    </message>
    <message>
        <source>未能生成页面</source>
        <translation>no page could be made</translation>
    </message>
    <message>
        <source>未能识别文字，页面不可搜索</source>
        <translation>its text could not be recognised, the page is not searchable</translation>
    </message>
    <message>
        <source>颜色配置文件无法使用，颜色可能有偏差</source>
        <translation>its colour profile could not be used, the colours may be off</translation>
    </message>
    <message>
        <source>%1 的第 %2 页</source>
        <translation>page %2 of %1</translation>
    </message>
    <message>
        <source>图片文件(*.jpg;*.jpeg;*.png;*.bmp;*.emf;*.tif;*.tiff;*.gif;*.heic;*.heif;*.avif;*.webp;*.jxl;*.jp2;*.j2k)|*.jpg;*.jpeg;*.png;*.bmp;*.emf;*.tif;*.tiff;*.gif;*.heic;*.heif;*.avif;*.webp;*.jxl;*.jp2;*.j2k||</source>
        <translation>Pictures(*.jpg;*.jpeg;*.png;*.bmp;*.emf;*.tif;*.tiff;*.gif;*.heic;*.heif;*.avif;*.webp;*.jxl;*.jp2;*.j2k)|*.jpg;*.jpeg;*.png;*.bmp;*.emf;*.tif;*.tiff;*.gif;*.heic;*.heif;*.avif;*.webp;*.jxl;*.jp2;*.j2k||</translation>
    </message>
    <message>
        <source>请选择路径: </source>
        <translation>Choose a folder of pictures</translation>
    </message>
    <message>
        <source>请选择一个文件夹</source>
        <translation>Choose the save folder</translation>
    </message>
    <message>
        <source>请选择一项</source>
        <translation>Please select an entry.</translation>
    </message>
    <message>
        <source>确定删除吗</source>
        <translation>Remove this entry?</translation>
    </message>
    <message>
        <source>删除成功</source>
        <translation>Removed.</translation>
    </message>
    <message>
        <source>无可清理文件</source>
        <translation>The list is already empty.</translation>
    </message>
    <message>
        <source>确定清空列表吗</source>
        <translation>Clear the whole list?</translation>
    </message>
    <message>
        <source>已经位于第一行!</source>
        <translation>Already the first row!</translation>
    </message>
    <message>
        <source>已经位于最后一行!</source>
        <translation>Already the last row!</translation>
    </message>
    <message>
        <source>正在生成预览...</source>
        <translation>Making the preview...</translation>
    </message>
    <message>
        <source>无法预览：%1</source>
        <translation>No preview: %1</translation>
    </message>
    <message>
        <source>关于 Quillmark</source>
        <translation>About Quillmark</translation>
    </message>
    <message>
        <source>客服账号：quillmark-support</source>
        <translation>Support account: quillmark-support</translation>
    </message>
    <message>
        <source>感谢使用，欢迎提出宝贵意见</source>
        <translation>Thanks for using it; ideas welcome</translation>
    </message>
    <message>
        <source>Brivane
版本：V8.4
%1
官网：%2
Harrowin科技出品
官方正版，安全放心
%3</source>
        <translation>Brivane
Version: V8.4
%1
Website: %2
Made by Harrowin Tech
Genuine software, safe to use
%3</translation>
    </message>
    <message>
        <source>%1 张图片未能完整转换。</source>
        <translation>Pictures not converted completely: %1.</translation>
    </message>
    <message>
        <source>%1 个PDF文件未能生成。</source>
        <translation>PDF files not written: %1.</translation>
    </message>
    <message>
        <source>%1 个目录中没有图片，已跳过。</source>
        <translation>Folders without pictures, skipped: %1.</translation>
    </message>
    <message>
        <source>没有生成任何PDF文件。</source>
        <translation>No PDF file was written.</translation>
    </message>
    <message>
        <source>打开结果文件夹</source>
        <translation>Open Result Folder</translation>
    </message>
    <message>
        <source>找不到解码程序 quillmark-render</source>
        <translation>the decoder program quillmark-render is missing</translation>
    </message>
    <message>
        <source>无法创建预览目录：%1</source>
        <translation>no folder for previews: %1</translation>
    </message>
    <message>
        <source>超过 %1 秒仍未完成，已放弃</source>
        <translation>gave up after %1 seconds</translation>
    </message>
    <message>
        <source>无法启动解码程序：%1</source>
        <translation>cannot start the decoder: %1</translation>
    </message>
    <message>
        <source>解码程序崩溃（%1）</source>
        <translation>the decoder crashed (%1)</translation>
    </message>
    <message>
        <source>无法读回预览图片</source>
        <translation>the preview could not be read back</translation>
    </message>
    <message>
        <source>解码程序异常退出，退出码 %1</source>
        <translation>the decoder stopped with exit code %1</translation>
    </message>
    <message>
        <source>分辨率无效：必须在 %1 到 %2 dpi 之间。
当前为 %3 dpi。</source>
        <translation>Invalid resolution: it must be between %1 and %2 dpi.
It is %3 dpi now.</translation>
    </message>
    <message>
        <source>页边距无效：必须不小于 0，并给图片留出地方。
当前为 %1。</source>
        <translation>Invalid margin: it must be 0 or more and leave room for the picture.
It is %1 now.</translation>
    </message>
    <message>
        <source>删除选中的项</source>
        <translation>Remove Selected</translation>
    </message>
    <message>
        <source>确定删除选中的 %1 项吗</source>
        <translation>Remove the %1 selected entries?</translation>
    </message>
    <message>
        <source>按名称排序（升序）</source>
        <translation>Sort by Name (A to Z)</translation>
    </message>
    <message>
        <source>按名称排序（降序）</source>
        <translation>Sort by Name (Z to A)</translation>
    </message>
    <message>
        <source>按修改时间排序（从旧到新）</source>
        <translation>Sort by Date (Oldest First)</translation>
    </message>
    <message>
        <source>按修改时间排序（从新到旧）</source>
        <translation>Sort by Date (Newest First)</translation>
    </message>
    <message>
        <source>%1…</source>
        <translation>%1…</translation>
    </message>
    <message>
        <source>更多设置</source>
        <translation>More Settings</translation>
    </message>
    <message>
        <source>页面</source>
        <translation>Page</translation>
    </message>
    <message>
        <source>图片</source>
        <translation>Pictures</translation>
    </message>
    <message>
        <source>文档</source>
        <translation>Document</translation>
    </message>
    <message>
        <source>文字识别</source>
        <translation>Text Recognition</translation>
    </message>
    <message>
        <source>以下 %1 页扫描件经过处理：</source>
        <translation>These %1 scanned pages were cleaned:</translation>
    </message>
    <message>
        <source>空白页，未放入PDF</source>
        <translation>blank, left out of the PDF</translation>
    </message>
    <message>
        <source>已转正（顺时针 %1°）</source>
        <translation>turned upright (%1° clockwise)</translation>
    </message>
    <message>
        <source>已扶正（%1°）</source>
        <translation>straightened (%1°)</translation>
    </message>
    <message>
        <source>，</source>
        <translation>, </translation>
    </message>
    <message>
        <source>扫描件</source>
        <translation>Scans</translation>
    </message>
    <message>
        <source>纠正扫描歪斜的文字页面</source>
        <translation>Straighten pages of text scanned askew</translation>
    </message>
    <message>
        <source>按文字行把页面扶正（最多10度）；照片和图画保持原样。</source>
        <translation>Pages are straightened by their lines of text (up to 10 degrees); photos and drawings stay as they are.</translation>
    </message>
    <message>
        <source>按文字方向自动转正页面</source>
        <translation>Turn pages upright by their text</translation>
    </message>
    <message>
        <source>横放或倒放扫描的页面，按其中文字的方向转正；无把握时保持原样。</source>
        <translation>Pages scanned sideways or upside down are turned upright by the direction of their text; when that is not certain, they stay as they are.</translation>
    </message>
    <message>
        <source>需要安装方向识别数据（软件包 tesseract-ocr-osd）</source>
        <translation>Needs the orientation data installed (package tesseract-ocr-osd)</translation>
    </message>
    <message>
        <source>跳过空白页</source>
        <translation>Leave blank pages out</translation>
    </message>
    <message>
        <source>只有纸色、噪点和灰尘的页面不放入PDF；有任何内容（哪怕是淡淡的铅笔字）的页面都保留。</source>
        <translation>Pages of bare paper with only noise and dust do not go into the PDF; a page with any content, even faint pencil, is kept.</translation>
    </message>
    <message>
        <source>以黑白保存页面</source>
        <translation>Store pages in black and white</translation>
    </message>
    <message>
        <source>灰度和彩色扫描件转为黑白，文字页面的文件小得多。</source>
        <translation>Grey and colour scans become black and white; pages of text take far less space.</translation>
    </message>
    <message>
        <source>纸张大小：</source>
        <translation>Paper size:</translation>
    </message>
    <message>
        <source>自定义尺寸（像素）</source>
        <translation>Custom size (pixels)</translation>
    </message>
    <message>
        <source>图片尺寸</source>
        <translation>Picture size</translation>
    </message>
    <message>
        <source>%1，%2 dpi</source>
        <translation>%1, %2 dpi</translation>
    </message>
    <message>
        <source>分辨率：</source>
        <translation>Resolution:</translation>
    </message>
    <message>
        <source> dpi</source>
        <translation> dpi</translation>
    </message>
    <message>
        <source>页面方向：</source>
        <translation>Orientation:</translation>
    </message>
    <message>
        <source>按纸张尺寸</source>
        <translation>As the size says</translation>
    </message>
    <message>
        <source>纵向</source>
        <translation>Portrait</translation>
    </message>
    <message>
        <source>横向</source>
        <translation>Landscape</translation>
    </message>
    <message>
        <source>自动（随图片方向）</source>
        <translation>Automatic (as each picture)</translation>
    </message>
    <message>
        <source>页边距：</source>
        <translation>Margin:</translation>
    </message>
    <message>
        <source>%1 %2</source>
        <translation>%1 %2</translation>
    </message>
    <message>
        <source>毫米</source>
        <translation>mm</translation>
    </message>
    <message>
        <source>像素</source>
        <translation>pixels</translation>
    </message>
    <message>
        <source>图片缩放：</source>
        <translation>Picture size:</translation>
    </message>
    <message>
        <source>适应页面（放大或缩小）</source>
        <translation>Fit the page (enlarge or reduce)</translation>
    </message>
    <message>
        <source>只缩小（小图保持原大小）</source>
        <translation>Only reduce (small pictures keep their size)</translation>
    </message>
    <message>
        <source>目录中图片的顺序：</source>
        <translation>Order of pictures from a folder:</translation>
    </message>
    <message>
        <source>默认顺序</source>
        <translation>Standard order</translation>
    </message>
    <message>
        <source>默认顺序：添加目录时按修改时间从旧到新；遍历二级目录时按文件名</source>
        <translation>Standard order: oldest first when adding a folder; by name inside each folder of a folder list</translation>
    </message>
    <message>
        <source>按修改时间（从旧到新）</source>
        <translation>By date (oldest first)</translation>
    </message>
    <message>
        <source>按文件名（自然顺序）</source>
        <translation>By name (natural order)</translation>
    </message>
    <message>
        <source>纸张：%1
页面方向：%2
页边距：%3
图片缩放：%4
目录中图片的顺序：%5</source>
        <translation>Paper: %1
Orientation: %2
Margin: %3
Picture size: %4
Order of pictures from a folder: %5</translation>
    </message>
    <message>
        <source>确定</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>取消</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>文字识别：</source>
        <translation>Text recognition:</translation>
    </message>
    <message>
        <source>识别文字，生成可搜索的PDF</source>
        <translation>Recognise the text: searchable PDFs</translation>
    </message>
    <message>
        <source>识别语言：</source>
        <translation>Languages:</translation>
    </message>
    <message>
        <source>未安装文字识别语言（如 tesseract-ocr-chi-sim）</source>
        <translation>No text recognition language is installed (such as tesseract-ocr-eng)</translation>
    </message>
    <message>
        <source>文字识别：%1</source>
        <translation>Text recognition: %1</translation>
    </message>
    <message>
        <source>关闭</source>
        <translation>off</translation>
    </message>
    <message>
        <source>简体中文</source>
        <translation>Chinese (simplified)</translation>
    </message>
    <message>
        <source>繁体中文</source>
        <translation>Chinese (traditional)</translation>
    </message>
    <message>
        <source>英语</source>
        <translation>English</translation>
    </message>
    <message>
        <source>日语</source>
        <translation>Japanese</translation>
    </message>
    <message>
        <source>韩语</source>
        <translation>Korean</translation>
    </message>
    <message>
        <source>、</source>
        <translation>, </translation>
    </message>
    <message>
        <source>合并的PDF中为每张图片添加书签</source>
        <translation>Bookmark every picture in merged PDFs</translation>
    </message>
    <message>
        <source>书签以图片的文件名命名；多页图片的各页列在其下。</source>
        <translation>Each bookmark is named after its picture's file; the pages of a multi-page picture are listed under it.</translation>
    </message>
    <message>
        <source>存档格式：</source>
        <translation>Archival format:</translation>
    </message>
    <message>
        <source>普通PDF</source>
        <translation>Plain PDF</translation>
    </message>
    <message>
        <source>PDF/A-1b（长期存档）</source>
        <translation>PDF/A-1b (long-term archiving)</translation>
    </message>
    <message>
        <source>PDF/A-2b（长期存档）</source>
        <translation>PDF/A-2b (long-term archiving)</translation>
    </message>
    <message>
        <source>PDF/A 不允许加密：不能同时设置密码或禁止打印。</source>
        <translation>PDF/A does not allow encryption: it cannot be combined with a password or with forbidding printing.</translation>
    </message>
    <message>
        <source>PDF/A 不允许加密：请取消密码和禁止打印，或不使用 PDF/A。</source>
        <translation>PDF/A does not allow encryption: turn off the password and the print restriction, or PDF/A.</translation>
    </message>
    <message>
        <source>文档属性</source>
        <translation>Document properties</translation>
    </message>
    <message>
        <source>标题：</source>
        <translation>Title:</translation>
    </message>
    <message>
        <source>留空则以目录或图片的名称为标题</source>
        <translation>Empty: each document is titled after its folder or picture</translation>
    </message>
    <message>
        <source>作者：</source>
        <translation>Author:</translation>
    </message>
    <message>
        <source>主题：</source>
        <translation>Subject:</translation>
    </message>
    <message>
        <source>关键词：</source>
        <translation>Keywords:</translation>
    </message>
</context>
</TS>
