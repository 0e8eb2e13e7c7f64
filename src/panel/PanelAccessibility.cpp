#include "panel/PanelAccessibility.h"

#include "panel/ContentView.h"
#include "panel/Sections.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QPointer>
#include <QStringList>

#include <optional>
#include <span>

namespace trovimo {
namespace {

// The place of `block` among the measurement sections, if it is one.
std::optional<std::size_t> sectionIndex(const PanelBlock& block) {
    const auto* shown = std::get_if<Block>(&block);
    const std::span<const SectionRow> sections = sectionTable();
    for (std::size_t index = 0; shown != nullptr && index < sections.size(); ++index) {
        if (sections[index].block == *shown) {
            return index;
        }
    }
    return std::nullopt;
}

// The rate rows say their direction with an arrow only; a listener needs it in words.
QString directionPrefix(Symbol symbol) {
    switch (symbol) {
    case Symbol::download:
        return QStringLiteral("↓ ");
    case Symbol::upload:
        return QStringLiteral("↑ ");
    default:
        return {};
    }
}

AccessibleSection describe(Block block, std::span<const PanelElement> elements) {
    AccessibleSection section;
    section.block = block;
    QStringList values;
    QString prefix;
    for (const PanelElement& element : elements) {
        section.rect = section.rect.united(elementRect(element));
        if (const auto* symbol = std::get_if<SymbolElement>(&element)) {
            prefix = directionPrefix(symbol->symbol);
        } else if (const auto* text = std::get_if<TextElement>(&element)) {
            if (section.name.isEmpty()) {
                section.name = text->text;
            } else {
                values << prefix + text->text;
            }
            prefix.clear();
        }
    }
    section.value = values.join(QStringLiteral("、"));
    return section;
}

std::optional<AccessibleSection> currentSection(const ContentView* view, Block block) {
    if (view == nullptr) {
        return std::nullopt;
    }
    for (AccessibleSection& section : accessibleSections(view->currentLayout())) {
        if (section.block == block) {
            return std::move(section);
        }
    }
    return std::nullopt;
}

// One section: a read-only text with no children of its own.
class AccessibleSectionInterface : public QAccessibleInterface {
public:
    AccessibleSectionInterface(ContentView* view, Block block) : view_(view), block_(block) {}

    bool isValid() const override { return !view_.isNull(); }
    QObject* object() const override { return nullptr; }
    QWindow* window() const override {
        QAccessibleInterface* panel = parent();
        return panel != nullptr ? panel->window() : nullptr;
    }
    QList<QPair<QAccessibleInterface*, QAccessible::Relation>>
    relations(QAccessible::Relation /*match*/) const override {
        return {};
    }
    QAccessibleInterface* focusChild() const override { return nullptr; }
    QAccessibleInterface* childAt(int /*x*/, int /*y*/) const override { return nullptr; }
    QAccessibleInterface* parent() const override {
        return view_ ? QAccessible::queryAccessibleInterface(view_.data()) : nullptr;
    }
    QAccessibleInterface* child(int /*index*/) const override { return nullptr; }
    int childCount() const override { return 0; }
    int indexOfChild(const QAccessibleInterface* /*child*/) const override { return -1; }

    QString text(QAccessible::Text kind) const override {
        const std::optional<AccessibleSection> section = currentSection(view_.data(), block_);
        if (!section) {
            return {};
        }
        switch (kind) {
        case QAccessible::Name:
            return section->name;
        // Bridges differ in which of the two they read for a static text; give both.
        case QAccessible::Value:
        case QAccessible::Description:
            return section->value;
        default:
            return {};
        }
    }
    void setText(QAccessible::Text /*kind*/, const QString& /*text*/) override {}

    QRect rect() const override {
        const std::optional<AccessibleSection> section = currentSection(view_.data(), block_);
        if (!section) {
            return {};
        }
        const QRect local = section->rect.toAlignedRect();
        return QRect(view_->mapToGlobal(local.topLeft()), local.size());
    }
    QAccessible::Role role() const override { return QAccessible::StaticText; }
    QAccessible::State state() const override {
        QAccessible::State state;
        state.readOnly = true;
        state.invisible = view_.isNull() || !view_->isVisible();
        return state;
    }

    Block block() const noexcept { return block_; }

private:
    QPointer<ContentView> view_;
    Block block_;
};

// The panel with its shown sections as children. Qt owns it (created through the factory,
// deleted with the widget); the children are registered with Qt and released here.
class AccessiblePanel : public QAccessibleWidget {
public:
    explicit AccessiblePanel(ContentView* view) : QAccessibleWidget(view, QAccessible::Client) {
        for (const SectionRow& section : sectionTable()) {
            auto* child = new AccessibleSectionInterface(view, section.block);
            childIds_.push_back(QAccessible::registerAccessibleInterface(child));
        }
        announced_ = accessibleSections(view->currentLayout());
        QObject::connect(view, &ContentView::layoutChanged, view, [this] { announceChanges(); });
    }
    ~AccessiblePanel() override {
        for (const QAccessible::Id id : childIds_) {
            QAccessible::deleteAccessibleInterface(id);
        }
    }

    QString text(QAccessible::Text kind) const override {
        if (kind == QAccessible::Name) {
            return QStringLiteral("Trovimo");
        }
        return QAccessibleWidget::text(kind);
    }

    int childCount() const override { return static_cast<int>(shown().size()); }
    QAccessibleInterface* child(int index) const override {
        const std::vector<Block> blocks = shown();
        if (index < 0 || index >= static_cast<int>(blocks.size())) {
            return nullptr;
        }
        return childFor(blocks[static_cast<std::size_t>(index)]);
    }
    int indexOfChild(const QAccessibleInterface* child) const override {
        const std::vector<Block> blocks = shown();
        for (std::size_t index = 0; index < blocks.size(); ++index) {
            if (childFor(blocks[index]) == child) {
                return static_cast<int>(index);
            }
        }
        return -1;
    }
    QAccessibleInterface* childAt(int x, int y) const override {
        const QPoint local = widget()->mapFromGlobal(QPoint(x, y));
        for (const AccessibleSection& section : accessibleSections(view()->currentLayout())) {
            if (section.rect.contains(local)) {
                return childFor(section.block);
            }
        }
        return nullptr;
    }

private:
    ContentView* view() const { return static_cast<ContentView*>(widget()); }

    std::vector<Block> shown() const {
        std::vector<Block> blocks;
        for (const PanelBlock& block : view()->currentLayout().blocks) {
            if (const std::optional<std::size_t> index = sectionIndex(block)) {
                blocks.push_back(sectionTable()[*index].block);
            }
        }
        return blocks;
    }

    QAccessibleInterface* childFor(Block block) const {
        const std::optional<std::size_t> index = sectionIndex(block);
        return index ? QAccessible::accessibleInterface(childIds_.at(*index)) : nullptr;
    }

    // Tells a listening screen reader what changed since the last layout pass.
    void announceChanges() {
        if (!QAccessible::isActive()) {
            announced_.clear();
            return;
        }
        std::vector<AccessibleSection> current = accessibleSections(view()->currentLayout());
        const auto previous = [this](Block block) -> const AccessibleSection* {
            for (const AccessibleSection& section : announced_) {
                if (section.block == block) {
                    return &section;
                }
            }
            return nullptr;
        };
        bool reordered = current.size() != announced_.size();
        for (const AccessibleSection& section : current) {
            const AccessibleSection* before = previous(section.block);
            if (before == nullptr) {
                reordered = true;
                continue;
            }
            if (before->value != section.value) {
                QAccessibleEvent event(childFor(section.block), QAccessible::DescriptionChanged);
                QAccessible::updateAccessibility(&event);
            }
        }
        if (reordered) {
            QAccessibleEvent event(widget(), QAccessible::ObjectReorder);
            QAccessible::updateAccessibility(&event);
        }
        announced_ = std::move(current);
    }

    std::vector<QAccessible::Id> childIds_; // one per section, in sectionTable()'s order
    std::vector<AccessibleSection> announced_;
};

QAccessibleInterface* panelFactory(const QString& /*className*/, QObject* object) {
    if (auto* view = qobject_cast<ContentView*>(object)) {
        return new AccessiblePanel(view);
    }
    return nullptr;
}

} // namespace

std::vector<AccessibleSection> accessibleSections(const PanelLayoutResult& layout) {
    std::vector<AccessibleSection> sections;
    const std::span<const PanelElement> elements(layout.elements);
    for (std::size_t index = 0; index < layout.blocks.size(); ++index) {
        const std::optional<std::size_t> section = sectionIndex(layout.blocks[index]);
        if (!section || index >= layout.blockElements.size()) {
            continue;
        }
        const auto [begin, end] = layout.blockElements[index];
        if (begin > end || end > elements.size()) {
            continue;
        }
        sections.push_back(
            describe(sectionTable()[*section].block, elements.subspan(begin, end - begin)));
    }
    return sections;
}

void installPanelAccessibility() {
    static const bool installed = [] {
        QAccessible::installFactory(panelFactory);
        return true;
    }();
    (void)installed;
}

} // namespace trovimo
