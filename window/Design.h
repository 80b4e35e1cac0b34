#pragma once
// The main window as it stands when created: places and sizes (the window's own controls
// in pixels, the frame's in twips from the frame's corner), captions and initial values.
#include "platform/Controls.h"

namespace tarnwick::design {

inline constexpr TextView kTitle = u"Tarnwick";
inline constexpr float kInnerWidth = 593, kInnerHeight = 437;

// On the window, pixels.
inline constexpr Rect Command1{16, 408, 537, 25};
inline constexpr Rect txtPath{8, 24, 193, 18};
inline constexpr Rect frmSettings{208, 8, 337, 393};
inline constexpr Rect drDir{8, 72, 193, 328};
inline constexpr Rect drDrive{8, 48, 193, 20};
inline constexpr Rect lblPath{8, 8, 132, 12};

// In the frame, twips.
inline constexpr Rect cmdSave{2880, 960, 1695, 375};
inline constexpr Rect cmdDoIt{2880, 600, 1695, 375};
inline constexpr Rect txtResult{120, 1440, 4455, 4335};
inline constexpr Rect VSLevel{1800, 1080, 255, 255};
inline constexpr Rect txtLevel{1320, 1080, 735, 270};
inline constexpr Rect ChNoPath{120, 720, 3375, 255};
inline constexpr Rect ChHidden{120, 480, 3375, 255};
inline constexpr Rect ChFiles{120, 240, 3375, 255};
inline constexpr Rect lblLevels{120, 1080, 1080, 180};
inline constexpr float kTwipsPerPixel = 15;

inline constexpr TextView Command1Caption = u"加入 Tarnwick 用户交流群：群号 2046 1957          ";
inline constexpr TextView frmSettingsCaption = u"选项";
inline constexpr TextView lblPathCaption = u"请先选定你要列举的目录";
inline constexpr TextView cmdSaveCaption = u"保存(&S)";
inline constexpr TextView cmdDoItCaption = u"开始(&B)";
inline constexpr TextView ChNoPathCaption = u"去除路径";
inline constexpr TextView ChHiddenCaption = u"列出隐藏文件";
inline constexpr TextView ChFilesCaption = u"列出文件名";
inline constexpr TextView lblLevelsCaption = u"文件夹层数：";
inline constexpr TextView txtLevelText = u"1";
inline constexpr int16_t VSLevelMax = 32766, VSLevelValue = 32766;
inline constexpr int16_t VSLevelSmallChange = 1, VSLevelLargeChange = 10;

}  // namespace tarnwick::design
