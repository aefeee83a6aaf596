#include "treatment/ui/conditionpanelsview.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QRadioButton>
#include <QSpinBox>
#include <QVBoxLayout>

namespace lumo {
namespace {

QString u(const char* s)
{
    return QString::fromUtf8(s);
}

// The energy value: the arrows step in whole microamperes, while a stored or
// typed fraction is shown as it is (matching compares the stored real).
class EnergyField : public QDoubleSpinBox
{
public:
    explicit EnergyField(QWidget* parent) : QDoubleSpinBox(parent)
    {
        setDecimals(2);
        setRange(0, ConditionPanels::MaxEnergy);
        setSingleStep(1);
    }

protected:
    QString textFromValue(double v) const override
    {
        QString s = QString::number(v, 'f', decimals());
        while (s.contains(QLatin1Char('.')) && (s.endsWith(QLatin1Char('0')) || s.endsWith(QLatin1Char('.'))))
            s.chop(1);
        return s;
    }
};

QSpinBox* ageField(QWidget* parent, const char* name)
{
    auto* s = new QSpinBox(parent);
    s->setObjectName(QLatin1String(name));
    s->setRange(0, ConditionPanels::MaxAge);
    return s;
}

} // namespace

ConditionPanelsView::ConditionPanelsView(QWidget* parent) : QWidget(parent)
{
    auto* layout = new QGridLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(buildBodyPanel(), 0, 0);
    layout->addWidget(buildPositionsPanel("五行條件", "ElementPanel", 18, 22, 1), 0, 1);
    layout->addWidget(buildPositionsPanel("個別經絡條件", "MeridianPanel", 6, 17, 3), 1, 0, 1, 2);
    layout->addWidget(buildAgePanel(), 2, 0, 1, 2);
    showState();
    setEditable(false);
}

void ConditionPanelsView::addPosition(QGridLayout* grid, int p, int row, int column)
{
    const QString caption = ConditionPanels::categoryCaption(p);
    auto* category = new QCheckBox(caption, this);
    category->setObjectName(QStringLiteral("Category%1").arg(p));
    m_category[size_t(p - 1)] = category;
    grid->addWidget(category, row, column);
    connect(category, &QCheckBox::toggled, this,
            [this, p](bool on) { change([&] { m_state.setCategory(p, on); }); });
    const QStringList options = ConditionPanels::optionCaptions(p);
    for (int b = 0; b < options.size(); ++b) {
        auto* box = new QCheckBox(options[b], this);
        box->setObjectName(QStringLiteral("Option%1_%2").arg(p).arg(b + 1));
        // "虛證" repeats on every row; the accessible name says whose it is.
        box->setAccessibleName(caption + options[b]);
        m_option[size_t(p - 1)][size_t(b)] = box;
        grid->addWidget(box, row, column + 1 + b);
        connect(box, &QCheckBox::toggled, this,
                [this, p, b](bool on) { change([&] { m_state.setOption(p, b, on); }); });
    }
}

QGroupBox* ConditionPanelsView::buildBodyPanel()
{
    auto* box = new QGroupBox(u("體能精神狀態條件"), this);
    box->setObjectName(QStringLiteral("BodyPanel"));
    auto* grid = new QGridLayout(box);
    grid->setVerticalSpacing(0);
    for (int p = 1; p <= 5; ++p)
        addPosition(grid, p, p - 1, 0);
    m_range = new QCheckBox(u("範圍"), box);
    m_range->setObjectName(QStringLiteral("RangeBox"));
    m_comparison = new QComboBox(box);
    m_comparison->setObjectName(QStringLiteral("ComparisonBox"));
    m_comparison->addItems(ConditionPanels::comparisonItems());
    m_comparison->setAccessibleName(u("範圍比較"));
    m_energy = new EnergyField(box);
    m_energy->setObjectName(QStringLiteral("EnergyField"));
    m_energy->setAccessibleName(u("能量值"));
    m_energy->setSuffix(QStringLiteral(" uA"));
    grid->addWidget(m_range, 0, 3);
    grid->addWidget(m_comparison, 0, 4);
    grid->addWidget(m_energy, 0, 5);
    grid->setColumnStretch(6, 1);
    connect(m_range, &QCheckBox::toggled, this, [this](bool on) { change([&] { m_state.setRange(on); }); });
    connect(m_comparison, &QComboBox::currentIndexChanged, this,
            [this](int i) { change([&] { m_state.setComparison(i); }); });
    connect(m_energy, &QDoubleSpinBox::valueChanged, this,
            [this](double v) { change([&] { m_state.setEnergy(v); }); });
    return box;
}

QGroupBox* ConditionPanelsView::buildPositionsPanel(const char* title, const char* name, int first, int last,
                                                    int columns)
{
    auto* box = new QGroupBox(u(title), this);
    box->setObjectName(QLatin1String(name));
    auto* grid = new QGridLayout(box);
    grid->setVerticalSpacing(0);
    const int count = last - first + 1;
    const int perColumn = (count + columns - 1) / columns;
    for (int p = first; p <= last; ++p) {
        const int i = p - first;
        addPosition(grid, p, i % perColumn, (i / perColumn) * 4);
    }
    for (int c = 1; c < columns; ++c)
        grid->setColumnMinimumWidth(c * 4 - 1, 24);
    return box;
}

QGroupBox* ConditionPanelsView::buildAgePanel()
{
    auto* box = new QGroupBox(u("年齡條件"), this);
    box->setObjectName(QStringLiteral("AgePanel"));
    auto* row = new QHBoxLayout(box);
    m_lowerBox = new QCheckBox(u("大於等於"), box);
    m_lowerBox->setObjectName(QStringLiteral("LowerAgeBox"));
    m_lowerAge = ageField(box, "LowerAgeField");
    m_lowerAge->setAccessibleName(u("大於等於年齡"));
    m_upperBox = new QCheckBox(u("小於等於"), box);
    m_upperBox->setObjectName(QStringLiteral("UpperAgeBox"));
    m_upperAge = ageField(box, "UpperAgeField");
    m_upperAge->setAccessibleName(u("小於等於年齡"));
    m_sex = new QCheckBox(u("性別條件"), box);
    m_sex->setObjectName(QStringLiteral("SexBox"));
    m_male = new QRadioButton(u("男性"), box);
    m_male->setObjectName(QStringLiteral("MaleButton"));
    m_female = new QRadioButton(u("女性"), box);
    m_female->setObjectName(QStringLiteral("FemaleButton"));
    auto* group = new QButtonGroup(box);
    group->addButton(m_male);
    group->addButton(m_female);
    for (QWidget* w : std::initializer_list<QWidget*>{m_lowerBox, m_lowerAge, new QLabel(u("歲"), box),
                                                      m_upperBox, m_upperAge, new QLabel(u("歲"), box)})
        row->addWidget(w);
    row->addSpacing(40);
    for (QWidget* w : std::initializer_list<QWidget*>{m_sex, m_male, m_female})
        row->addWidget(w);
    row->addStretch();
    connect(m_lowerBox, &QCheckBox::toggled, this,
            [this](bool on) { change([&] { m_state.setLowerAgeBox(on); }); });
    connect(m_upperBox, &QCheckBox::toggled, this,
            [this](bool on) { change([&] { m_state.setUpperAgeBox(on); }); });
    connect(m_lowerAge, &QSpinBox::valueChanged, this,
            [this](int v) { change([&] { m_state.setLowerAge(v); }); });
    connect(m_upperAge, &QSpinBox::valueChanged, this,
            [this](int v) { change([&] { m_state.setUpperAge(v); }); });
    connect(m_sex, &QCheckBox::toggled, this,
            [this](bool on) { change([&] { m_state.setSexCondition(on); }); });
    connect(m_male, &QRadioButton::toggled, this, [this](bool on) { change([&] { m_state.setMale(on); }); });
    return box;
}

// An operator's change goes to the state, and the state's consequences (the
// enabling, a coupled age limit, a comparison selected) come back to the widgets.
template <typename F> void ConditionPanelsView::change(F&& f)
{
    if (m_showing) return;
    f();
    showState();
}

void ConditionPanelsView::setState(const ConditionPanels& state)
{
    m_state = state;
    showState();
}

void ConditionPanelsView::showState()
{
    m_showing = true;
    for (int p = 1; p <= ConditionPanels::CategoryPositions; ++p) {
        m_category[size_t(p - 1)]->setChecked(m_state.category(p));
        for (int b = 0; b < 2; ++b)
            if (QCheckBox* box = m_option[size_t(p - 1)][size_t(b)]) box->setChecked(m_state.option(p, b));
    }
    m_range->setChecked(m_state.range());
    m_comparison->setCurrentIndex(m_state.comparison());
    m_energy->setValue(m_state.energy());
    m_lowerBox->setChecked(m_state.lowerAgeBox());
    m_upperBox->setChecked(m_state.upperAgeBox());
    m_lowerAge->setValue(m_state.lowerAge());
    m_upperAge->setValue(m_state.upperAge());
    m_sex->setChecked(m_state.sexCondition());
    (m_state.male() ? m_male : m_female)->setChecked(true);
    m_showing = false;
    refreshEnabling();
}

void ConditionPanelsView::setEditable(bool editable)
{
    m_editable = editable;
    refreshEnabling();
}

void ConditionPanelsView::refreshEnabling()
{
    const bool e = m_editable;
    for (int p = 1; p <= ConditionPanels::CategoryPositions; ++p) {
        m_category[size_t(p - 1)]->setEnabled(e);
        for (int b = 0; b < 2; ++b)
            if (QCheckBox* box = m_option[size_t(p - 1)][size_t(b)])
                box->setEnabled(e && (p != 1 || m_state.optionsOfBodyEnabled()));
    }
    m_range->setEnabled(e);
    m_comparison->setEnabled(e && m_state.comparisonEnabled());
    m_energy->setEnabled(e && m_state.comparisonEnabled());
    m_lowerBox->setEnabled(e);
    m_upperBox->setEnabled(e);
    m_lowerAge->setEnabled(e && m_state.lowerAgeEnabled());
    m_upperAge->setEnabled(e && m_state.upperAgeEnabled());
    m_sex->setEnabled(e);
    m_male->setEnabled(e && m_state.sexChoiceEnabled());
    m_female->setEnabled(e && m_state.sexChoiceEnabled());
}

} // namespace lumo
