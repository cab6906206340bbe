#include "app/program.h"

#include "screens/screens.h"

namespace vp {

Setup::Setup(Clock& clock, MessageBoxes& boxes, Random& random)
    : m_runtime(clock, boxes, random),
      m_imageBank(m_runtime, ImageBankDef()),
      m_preStart(*this),
      m_start(*this),
      m_background(*this),
      m_form1(*this),
      m_inst(*this),
      m_form2(*this),
      m_rst(*this),
      m_form3(*this)
{
}

Setup::~Setup() { m_runtime.onNothingVisible = nullptr; }

void Setup::launch()
{
    m_runtime.run([this] { m_preStart.Show(); });
}

} // namespace vp
