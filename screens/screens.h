// The nine screens of the program as plain data. Each function returns the
// one definition of its screen; the runtime builds the window from it.
#pragma once

#include "core/definition.h"
#include "screens/catalogue.h"

namespace vp {

const ScreenDef& PreStartDef();   // splash screen
const ScreenDef& StartDef();      // welcome prompt
const ScreenDef& BackgroundDef(); // full-screen backdrop
const ScreenDef& Form1Def();      // setup wizard
const ScreenDef& InstDef();       // installation screen
const ScreenDef& Form2Def();      // completion dialog
const ScreenDef& RstDef();        // restart screen
const ScreenDef& Form3Def();      // protection-fault dialog
const ScreenDef& ImageBankDef();  // picture bank, never shown

} // namespace vp
