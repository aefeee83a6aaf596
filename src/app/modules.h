#pragma once
// The functions the main window opens as modal screens. Each screen plugs in
// with one line in modules.cpp.

#include "practice/roles.h"

#include <QDialog>
#include <functional>
#include <map>

namespace lumo {

struct SharedState;

enum class Module {
    Measurement,       // 經絡測量
    MultiComparison,   // 多重比對
    Locating,          // 穴道定位
    Explanation,       // 經絡解說
    TreatmentPrograms, // 專家療程
    Calibration,       // 數位校準
    FileTransfer,      // 檔案處理
    UserSettings,      // 用戶資料設定
    NoiseFigures       // 量測誤差 (系統支援)
};

using ModuleFactory = std::function<QDialog*(SharedState&, QWidget* parent)>;
using ModuleTable = std::map<Module, ModuleFactory>;

// What the role of the operator must allow for the screen to open.
Permission modulePermission(Module m);

// The screens built so far.
ModuleTable standardModules();

struct MeasurementLinks;
MeasurementLinks measurementLinks(SharedState& s);

} // namespace lumo
