#include "DialogTemplate.h"

#include <QtGlobal>

#include <array>

namespace {

using K = ControlKind;

const std::array<ControlTemplate, 34> kControls{{
    {1, K::DefaultButton, QT_TRANSLATE_NOOP("DialogTemplate", "确定"), {117, 330, 22, 14}},
    {2, K::HiddenButton, QT_TRANSLATE_NOOP("DialogTemplate", "取消"), {149, 330, 22, 14}},
    {1000, K::Button, QT_TRANSLATE_NOOP("DialogTemplate", "添加文件"), {125, 222, 39, 22}},
    {1001, K::ListView, "", {12, 62, 263, 153}},
    {1002, K::Button, QT_TRANSLATE_NOOP("DialogTemplate", "添加目录"), {170, 222, 39, 22}},
    {1003, K::Button, QT_TRANSLATE_NOOP("DialogTemplate", "开始转换"), {215, 222, 39, 22}},
    {1004, K::FlatButton, QT_TRANSLATE_NOOP("DialogTemplate", "移除文件"), {294, 68, 35, 14}},
    {1005, K::FlatButton, QT_TRANSLATE_NOOP("DialogTemplate", "清空列表"), {294, 94, 35, 14}},
    {1006, K::FlatButton, QT_TRANSLATE_NOOP("DialogTemplate", "移至开始"), {294, 120, 35, 14}},
    {1007, K::FlatButton, QT_TRANSLATE_NOOP("DialogTemplate", "上移文件"), {294, 146, 35, 14}},
    {1008, K::FlatButton, QT_TRANSLATE_NOOP("DialogTemplate", "下移文件"), {294, 172, 35, 14}},
    {1009, K::FlatButton, QT_TRANSLATE_NOOP("DialogTemplate", "移至结尾"), {294, 198, 35, 14}},
    {1010, K::CheckBox, QT_TRANSLATE_NOOP("DialogTemplate", "设置密码"), {13, 306, 38, 10}},
    {1011, K::PasswordEdit, "", {53, 306, 67, 14}},
    {1012, K::CheckBox, QT_TRANSLATE_NOOP("DialogTemplate", "禁止打印"), {230, 288, 38, 10}},
    {kNoId, K::Label, QT_TRANSLATE_NOOP("DialogTemplate", "保存目录："), {7, 250, 35, 8}},
    {1013, K::Edit, "", {41, 250, 223, 14}},
    {1014, K::Button, QT_TRANSLATE_NOOP("DialogTemplate", "修改目录"), {308, 250, 33, 14}},
    {1015, K::Button, QT_TRANSLATE_NOOP("DialogTemplate", "查看结果"), {270, 250, 33, 14}},
    {kNoId, K::Label, QT_TRANSLATE_NOOP("DialogTemplate", "宽："), {206, 310, 12, 8}},
    {kNoId, K::Label, QT_TRANSLATE_NOOP("DialogTemplate", "高："), {258, 310, 10, 8}},
    {1016, K::CheckBox, QT_TRANSLATE_NOOP("DialogTemplate", "自定义尺寸（像素）"), {132, 308, 70, 10}},
    {1017, K::Edit, "", {220, 308, 28, 14}},
    {1018, K::Edit, "", {271, 308, 28, 14}},
    // Beside the size fields, in the frame's free corner: the page settings
    // beyond the pixel size.
    {1029, K::Button, QT_TRANSLATE_NOOP("DialogTemplate", "更多…"), {303, 307, 37, 14}},
    {1019, K::RadioButton, QT_TRANSLATE_NOOP("DialogTemplate", "合并到一个PDF文件"), {86, 288, 76, 10}},
    {1020, K::RadioButton, QT_TRANSLATE_NOOP("DialogTemplate", "逐一转换成PDF"), {165, 288, 62, 10}},
    {1021, K::Button, QT_TRANSLATE_NOOP("DialogTemplate", "关于我们"), {80, 222, 39, 22}},
    {1023, K::Label, "", {48, 49, 39, 8}},
    {kNoId, K::Label, QT_TRANSLATE_NOOP("DialogTemplate", "文件数："), {16, 49, 31, 8}},
    {1026, K::GroupBox, QT_TRANSLATE_NOOP("DialogTemplate", "设置"), {7, 277, 336, 51}},
    {kNoId, K::Label, QT_TRANSLATE_NOOP("DialogTemplate", "支持文件直接拖入"), {110, 49, 56, 8}},
    {1027, K::CheckBox, QT_TRANSLATE_NOOP("DialogTemplate", "遍历二级目录转换"), {13, 288, 71, 10}},
    {1028, K::Button, QT_TRANSLATE_NOOP("DialogTemplate", "访问官网"), {293, 331, 50, 14}},
}};

const std::array<ControlTemplate, 3> kAboutControls{{
    {1, K::DefaultButton, QT_TRANSLATE_NOOP("DialogTemplate", "确定"), {14, 110, 50, 14}},
    {1000, K::Button, QT_TRANSLATE_NOOP("DialogTemplate", "访问官网"), {129, 107, 50, 14}},
    {1002, K::Button, QT_TRANSLATE_NOOP("DialogTemplate", "访问官方淘宝店"), {77, 107, 50, 14}},
}};

} // namespace

std::span<const ControlTemplate> MainDialogTemplate() {
    return kControls;
}

std::span<const ControlTemplate> AboutDialogTemplate() {
    return kAboutControls;
}
