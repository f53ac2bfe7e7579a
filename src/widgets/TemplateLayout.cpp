#include "widgets/TemplateLayout.h"

#include <QWidget>

#include "widgets/DialogTemplate.h"

namespace qtmui {

void ApplyTemplateLayout(QWidget* dialog, int widthDlu, int heightDlu,
                         std::initializer_list<ControlPlacement> controls) {
    const DialogBaseUnits base = BaseUnitsOf(dialog->font());
    dialog->setFixedSize(DluToPixels(QRect(0, 0, widthDlu, heightDlu), base).size());
    for (const ControlPlacement& placement : controls) {
        placement.control->setGeometry(DluToPixels(placement.dlu, base));
    }
}

}  // namespace qtmui
