// SPDX-License-Identifier: MIT
#pragma once

class QWidget;

namespace vdm {

/**
 * Grows a form whose controls stand at fixed positions (the options dialog) until
 * everything shows whole at its current font: when a text does not fit its control, the
 * whole form is scaled by the largest shortfall, so the arrangement keeps its proportions;
 * then every box, page and the form itself grow around their children, pushing what
 * stands below or right of them along. Nothing ever shrinks, so at a font the form was
 * drawn for it stays exactly as stored, apart from a control that stood outside its box.
 * A form of fixed size gets its new size as its fixed size.
 */
void fitFixedLayout(QWidget& form);

} // namespace vdm
