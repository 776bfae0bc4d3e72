// The Options dialog's page widgets.
#include "platform/ui/pages/OptionPageWidgets.h"

#include "config/pages/CConfig.h"
#include "config/pages/COptionPages.h"
#include "config/pages/HOptionsDlg.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QFontComboBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace ketra::ui {

PageWidget::PageWidget(QWidget* parent)
    : QWidget(parent), m_port(std::make_unique<PagePort>(this)) {}

PageWidget::~PageWidget() = default;

PreviewWidget* PageWidget::MakePreview() {
    CPropertyPage* page = Page();
    m_previewWidget = new PreviewWidget([page] { return page->GetPreview(); }, this);
    m_port->SetPreviewWidget(m_previewWidget);
    return m_previewWidget;
}

namespace {

QSlider* MakeSlider(int minimum, int maximum, int tick, QWidget* parent) {
    auto* slider = new QSlider(Qt::Horizontal, parent);
    slider->setRange(minimum, maximum);
    slider->setTickInterval(tick);
    slider->setTickPosition(QSlider::TicksBelow);
    return slider;
}

// ---- colours -------------------------------------------------------------------------------

class ColorPage final : public PageWidget {
public:
    ColorPage(HOpConfig& config, QWidget* parent) : PageWidget(parent) {
        m_page = std::make_unique<CConfig>(config, m_port.get());
        m_logic = m_page.get();
        m_port->SetPage(m_logic);
        m_tree = new QTreeWidget(this);
        m_tree->setHeaderHidden(true);
        m_change = new QPushButton("&Change...", this);
        auto* reset = new QPushButton("&Reset All", this);
        auto* layout = new QHBoxLayout(this);
        layout->addWidget(m_tree, 1);
        auto* right = new QVBoxLayout();
        right->addWidget(MakePreview(), 1);
        auto* buttons = new QHBoxLayout();
        buttons->addWidget(m_change);
        buttons->addWidget(reset);
        buttons->addStretch();
        right->addLayout(buttons);
        layout->addLayout(right, 1);
        connect(m_tree, &QTreeWidget::currentItemChanged, this, [this](QTreeWidgetItem* item) {
            if (m_loading || !item)
                return;
            m_logic->OnSelchangingElements(item->data(0, Qt::UserRole).toInt());
            m_change->setEnabled(m_logic->IsChangeEnabled());
        });
        connect(m_change, &QPushButton::clicked, this, [this] {
            m_logic->OnChange();
            m_previewWidget->update();
        });
        connect(reset, &QPushButton::clicked, this, [this] {
            m_logic->OnResetall();
            m_previewWidget->update();
        });
    }
    CPropertyPage* Page() const override { return m_logic; }
    CConfig& Logic() { return *m_logic; }
    QTreeWidget* Tree() { return m_tree; }
    void Load() override {
        m_loading = true;
        m_tree->clear();
        const auto& items = m_logic->GetItems();
        std::vector<QTreeWidgetItem*> widgets(items.size(), nullptr);
        for (size_t i = 0; i < items.size(); ++i) {
            const auto& item = items[i];
            auto* widget = item.parent < 0
                               ? new QTreeWidgetItem(m_tree)
                               : new QTreeWidgetItem(widgets[static_cast<size_t>(item.parent)]);
            widget->setText(0, QString::fromStdString(item.text));
            widget->setData(0, Qt::UserRole, static_cast<int>(i));
            widgets[i] = widget;
        }
        for (size_t i = 0; i < items.size(); ++i)
            widgets[i]->setExpanded(items[i].expanded);
        if (m_logic->GetSelectedItem() >= 0)
            m_tree->setCurrentItem(widgets[static_cast<size_t>(m_logic->GetSelectedItem())]);
        m_change->setEnabled(m_logic->IsChangeEnabled());
        m_loading = false;
        m_previewWidget->Attach();
    }
    // Handed to the dialog's page map (MakeOptionPages); m_logic stays valid with it.
    std::unique_ptr<CConfig> m_page;
    CConfig* m_logic = nullptr;

private:
    QTreeWidget* m_tree = nullptr;
    QPushButton* m_change = nullptr;
    bool m_loading = false;
};

// ---- fonts ---------------------------------------------------------------------------------

class FontPage final : public PageWidget {
public:
    FontPage(HOpConfig& config, QWidget* parent) : PageWidget(parent) {
        m_page = std::make_unique<CFontConfig>(config, m_port.get());
        m_logic = m_page.get();
        m_port->SetPage(m_logic);
        m_styles = new QListWidget(this);
        m_font = new QFontComboBox(this);
        m_size = new QDoubleSpinBox(this);
        m_size->setRange(1, 200);
        m_size->setDecimals(1);
        m_color = new ColorButton(this);
        m_justification = new QComboBox(this);
        m_justification->addItems({"left", "center", "right"});
        m_transform = new QCheckBox("Scale with the model", this);
        auto* form = new QFormLayout();
        form->addRow("Font:", m_font);
        form->addRow("Size:", m_size);
        form->addRow("Color:", m_color);
        form->addRow("Justification:", m_justification);
        form->addRow("", m_transform);
        auto* left = new QVBoxLayout();
        auto* fonts = new QLabel("Fonts", this);
        left->addWidget(fonts);
        left->addWidget(m_styles, 1);
        auto* layout = new QHBoxLayout(this);
        layout->addLayout(left);
        auto* right = new QVBoxLayout();
        right->addLayout(form);
        right->addWidget(MakePreview(), 1);
        layout->addLayout(right, 1);
        connect(m_styles, &QListWidget::currentRowChanged, this, [this](int) { ShowStyle(); });
        connect(m_font, &QFontComboBox::currentFontChanged, this, [this](const QFont& font) {
            if (!m_loading)
                m_logic->SetFont(Current(), font.family().toStdString());
        });
        connect(m_size, &QDoubleSpinBox::valueChanged, this, [this](double size) {
            if (!m_loading)
                m_logic->SetSize(Current(), size);
        });
        m_color->onChanged = [this](unsigned long color) { m_logic->SetColor(Current(), color); };
        connect(m_justification, &QComboBox::currentTextChanged, this, [this](const QString& text) {
            if (!m_loading)
                m_logic->SetJustification(Current(), text.toStdString());
        });
        connect(m_transform, &QCheckBox::toggled, this, [this](bool on) {
            if (!m_loading)
                m_logic->SetTransformation(Current(), on ? "on" : "off");
        });
    }
    CPropertyPage* Page() const override { return m_logic; }
    void Load() override {
        m_styles->clear();
        for (const std::string& name : m_logic->GetStyleNames())
            m_styles->addItem(QString::fromStdString(name));
        m_styles->setCurrentRow(0);
        ShowStyle();
        m_previewWidget->Attach();
    }
    std::unique_ptr<CFontConfig> m_page;
    CFontConfig* m_logic = nullptr;

private:
    int Current() const { return std::max(0, m_styles->currentRow()); }
    void ShowStyle() {
        m_loading = true;
        const auto& style = m_logic->GetStyle(Current());
        m_font->setCurrentFont(QFont(QString::fromStdString(style.font)));
        m_size->setValue(style.size);
        m_color->SetColor(style.color);
        m_justification->setCurrentIndex(style.justification == "<"   ? 0
                                         : style.justification == "*" ? 1
                                                                      : 2);
        m_transform->setChecked(style.transformation == "on");
        m_loading = false;
    }
    QListWidget* m_styles;
    QFontComboBox* m_font;
    QDoubleSpinBox* m_size;
    ColorButton* m_color;
    QComboBox* m_justification;
    QCheckBox* m_transform;
    bool m_loading = false;
};

// ---- markers -------------------------------------------------------------------------------

class MarkerPage final : public PageWidget {
public:
    MarkerPage(HOpConfig& config, QWidget* parent) : PageWidget(parent) {
        m_page = std::make_unique<CMarkerConfig>(config, m_port.get());
        m_logic = m_page.get();
        m_port->SetPage(m_logic);
        m_use = new QCheckBox("Show &markers on pipes and bends", this);
        m_slider = MakeSlider(CMarkerConfig::kMin, CMarkerConfig::kMax, CMarkerConfig::kTick, this);
        m_label = new QLabel(this);
        m_color = new ColorButton(this);
        auto* layout = new QVBoxLayout(this);
        layout->addWidget(m_use);
        auto* size = new QHBoxLayout();
        size->addWidget(new QLabel("Size:", this));
        size->addWidget(m_slider, 1);
        size->addWidget(m_label);
        layout->addLayout(size);
        auto* color = new QHBoxLayout();
        color->addWidget(new QLabel("Color:", this));
        color->addWidget(m_color);
        color->addStretch();
        layout->addLayout(color);
        layout->addWidget(MakePreview(), 1);
        connect(m_use, &QCheckBox::toggled, this, [this](bool on) { m_logic->SetUseMarkers(on); });
        connect(m_slider, &QSlider::valueChanged, this, [this](int pos) {
            m_logic->SetSliderPos(pos);
            m_label->setText(QString::fromStdString(m_logic->GetLabel()));
        });
        m_color->onChanged = [this](unsigned long chosen) { m_logic->SetColor(chosen); };
    }
    CPropertyPage* Page() const override { return m_logic; }
    void Load() override {
        m_use->setChecked(m_logic->GetUseMarkers());
        m_slider->setValue(m_logic->GetSliderPos());
        m_label->setText(QString::fromStdString(m_logic->GetLabel()));
        m_color->SetColor(m_logic->GetColor());
        m_previewWidget->Attach();
    }
    std::unique_ptr<CMarkerConfig> m_page;
    CMarkerConfig* m_logic = nullptr;

private:
    QCheckBox* m_use;
    QSlider* m_slider;
    QLabel* m_label;
    ColorButton* m_color;
};

// ---- transparency --------------------------------------------------------------------------

class InvisiblePage final : public PageWidget {
public:
    InvisiblePage(HOpConfig& config, QWidget* parent) : PageWidget(parent) {
        m_page = std::make_unique<CInvisible>(config, m_port.get());
        m_logic = m_page.get();
        m_port->SetPage(m_logic);
        m_slider = MakeSlider(CInvisible::kMin, CInvisible::kMax, CInvisible::kTick, this);
        m_label = new QLabel(this);
        auto* layout = new QVBoxLayout(this);
        auto* row = new QHBoxLayout();
        row->addWidget(new QLabel("Transparency:", this));
        row->addWidget(m_slider, 1);
        row->addWidget(m_label);
        layout->addLayout(row);
        layout->addWidget(MakePreview(), 1);
        connect(m_slider, &QSlider::valueChanged, this, [this](int pos) {
            m_logic->SetSliderPos(pos);
            m_label->setText(QString::fromStdString(m_logic->GetLabel()));
        });
    }
    CPropertyPage* Page() const override { return m_logic; }
    void Load() override {
        m_slider->setValue(m_logic->GetSliderPos());
        m_label->setText(QString::fromStdString(m_logic->GetLabel()));
        m_previewWidget->Attach();
    }
    std::unique_ptr<CInvisible> m_page;
    CInvisible* m_logic = nullptr;

private:
    QSlider* m_slider;
    QLabel* m_label;
};

// ---- displaced shape -----------------------------------------------------------------------

class OutputPage final : public PageWidget {
public:
    OutputPage(HOpConfig& config, QWidget* parent) : PageWidget(parent) {
        m_page = std::make_unique<COutputOptions>(config, m_port.get());
        m_logic = m_page.get();
        m_port->SetPage(m_logic);
        m_pattern = new QComboBox(this);
        for (const std::string& pattern : COutputOptions::Patterns())
            m_pattern->addItem(QString::fromStdString(pattern));
        m_weight = MakeSlider(COutputOptions::kMinWeight, COutputOptions::kMaxWeight,
                              COutputOptions::kTick, this);
        m_color = new ColorButton(this);
        auto* form = new QFormLayout();
        form->addRow("Line pattern:", m_pattern);
        form->addRow("Line weight:", m_weight);
        form->addRow("Color:", m_color);
        auto* layout = new QVBoxLayout(this);
        layout->addLayout(form);
        layout->addWidget(MakePreview(), 1);
        connect(m_pattern, &QComboBox::currentIndexChanged, this, [this](int index) {
            if (!m_loading)
                m_logic->SetPatternIndex(index);
        });
        connect(m_weight, &QSlider::valueChanged, this, [this](int weight) {
            if (!m_loading)
                m_logic->SetWeight(weight);
        });
        m_color->onChanged = [this](unsigned long chosen) { m_logic->SetColor(chosen); };
    }
    CPropertyPage* Page() const override { return m_logic; }
    void Load() override {
        m_loading = true;
        m_pattern->setCurrentIndex(m_logic->GetPatternIndex());
        m_weight->setValue(m_logic->GetWeight());
        m_color->SetColor(m_logic->GetColor());
        m_loading = false;
        m_previewWidget->Attach();
    }
    std::unique_ptr<COutputOptions> m_page;
    COutputOptions* m_logic = nullptr;

private:
    QComboBox* m_pattern;
    QSlider* m_weight;
    ColorButton* m_color;
    bool m_loading = false;
};

// ---- user options --------------------------------------------------------------------------

class UserPage final : public PageWidget {
public:
    UserPage(HOpConfig& config, QWidget* parent) : PageWidget(parent) {
        m_page = std::make_unique<CUserOptions>(config, m_port.get());
        m_logic = m_page.get();
        m_port->SetPage(m_logic);
        auto* layout = new QVBoxLayout(this);
        auto check = [&](const char* text, bool CUserOptions::Values::*member) {
            auto* box = new QCheckBox(text, this);
            layout->addWidget(box);
            connect(box, &QCheckBox::toggled, this,
                    [this, member](bool on) { m_logic->Edit().*member = on; });
            m_checks.push_back({box, member});
        };
        check("Show the bounding box while orbiting", &CUserOptions::Values::orbitBoundingBox);
        check("Restore the previous operator", &CUserOptions::Values::restoreOperator);
        check("Restore the previous view", &CUserOptions::Values::restoreView);
        check("Hide overlapped text", &CUserOptions::Values::hideOverlappedText);
        auto group = [&](const char* title, const std::vector<std::string>& texts,
                         int CUserOptions::Values::*member) {
            auto* box = new QGroupBox(title, this);
            auto* grid = new QGridLayout(box);
            auto* buttons = new QButtonGroup(box);
            for (size_t i = 0; i < texts.size(); ++i) {
                auto* radio = new QRadioButton(QString::fromStdString(texts[i]), box);
                buttons->addButton(radio, static_cast<int>(i));
                grid->addWidget(radio, static_cast<int>(i) / 4, static_cast<int>(i) % 4);
            }
            connect(buttons, &QButtonGroup::idToggled, this, [this, member](int id, bool on) {
                if (on)
                    m_logic->Edit().*member = id;
            });
            layout->addWidget(box);
            m_groups.push_back({buttons, member});
        };
        group("Initial view", CUserOptions::ViewButtonTexts(), &CUserOptions::Values::viewButton);
        group("Projection", CUserOptions::ProjectionButtonTexts(),
              &CUserOptions::Values::projectionButton);
        group("Operator", CUserOptions::OperatorButtonTexts(),
              &CUserOptions::Values::operatorButton);
        layout->addStretch();
    }
    CPropertyPage* Page() const override { return m_logic; }
    void Load() override {
        const CUserOptions::Values values = m_logic->Get();
        for (auto& [box, member] : m_checks)
            box->setChecked(values.*member);
        for (auto& [buttons, member] : m_groups) {
            // A group may start with no selection ("Camera Walk").
            buttons->setExclusive(false);
            for (QAbstractButton* button : buttons->buttons())
                button->setChecked(buttons->id(button) == values.*member);
            buttons->setExclusive(true);
        }
        m_logic->Edit() = values;
    }
    std::unique_ptr<CUserOptions> m_page;
    CUserOptions* m_logic = nullptr;

private:
    std::vector<std::pair<QCheckBox*, bool CUserOptions::Values::*>> m_checks;
    std::vector<std::pair<QButtonGroup*, int CUserOptions::Values::*>> m_groups;
};

// Hands the page to the dialog's page map, which owns it from then on.
template <typename Widget> Widget* Add(Widget* widget, HOptionsDlg& dialog) {
    dialog.AddPage(std::move(widget->m_page));
    return widget;
}

} // namespace

std::vector<PageWidget*> MakeOptionPages(HOpConfig& config, HOptionsDlg& dialog, QWidget* parent) {
    std::vector<PageWidget*> pages;
    pages.push_back(Add(new ColorPage(config, parent), dialog));
    pages.push_back(Add(new FontPage(config, parent), dialog));
    pages.push_back(Add(new MarkerPage(config, parent), dialog));
    pages.push_back(Add(new InvisiblePage(config, parent), dialog));
    pages.push_back(Add(new OutputPage(config, parent), dialog));
    pages.push_back(Add(new UserPage(config, parent), dialog));
    return pages;
}

} // namespace ketra::ui
