#include "ui/component/CenteredLabelComponent.h"

namespace ui::component {

CenteredLabelComponent::CenteredLabelComponent() {
    className_ = L"STATIC";
    style_ = SS_CENTER;
}

} // namespace ui::component
