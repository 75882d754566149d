// A child static text, centred within its own width.
#pragma once

#include "ui/component/BaseComponent.h"

namespace ui::component {

class CenteredLabelComponent : public BaseComponent {
public:
    CenteredLabelComponent();
};

} // namespace ui::component
