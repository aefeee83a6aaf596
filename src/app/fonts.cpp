#include "app/fonts.h"

#include <QApplication>
#include <QFont>

namespace lumo {

void applyChineseFont(QApplication& app)
{
    QFont f = app.font();
    f.setFamilies({QStringLiteral("Noto Sans CJK TC"), QStringLiteral("WenQuanYi Micro Hei")});
    app.setFont(f);
}

} // namespace lumo
