#pragma once

// What assistive technology is told of the instruments, beyond what Qt's own
// accessible widgets say:
//  - a lamp or switch (OperatorButton) is a check box, checked when on, whose
//    value is its state in words ("on", or a switch's live label); one the
//    operator cannot switch (a front-panel lamp) is read-only, not checkable;
//  - a read-only value (a monitor field, a status label) is static text,
//    read-only, whose value is what it shows;
//  - a heading that opens something (ClickLabel) is a button that can be pressed;
//  - a choice box given an accessible name (a filter) goes by that name, not by
//    the value it shows, which is its value.
namespace InstrumentAccess {

// Installs the accessible interfaces once per run; every instrument's constructor calls it.
void install();

} // namespace InstrumentAccess
