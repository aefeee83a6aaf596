#pragma once

class QApplication;

namespace lumo {
// The default font falls back to a face without Traditional Chinese preference,
// which draws some characters in their Japanese or Simplified forms; name the faces.
void applyChineseFont(QApplication& app);
} // namespace lumo
