#include "app/program.h"

#include "screens/catalogue.h"
#include "screens/screens.h"

namespace vp {

namespace {

// The crash screen's face is one no desktop has; nothing is drawn in it.
constexpr std::string_view serif[] = {"DejaVu Serif"};
constexpr FontSubstitute fonts[] = {{"Tengwar Quenya", serif}};

const ProgramData& data()
{
    static const ProgramData d{Pictures(), "Valdrynix Plim 1.0.", {"OK", "Ano", "Ne", "Opakovat", "Storno"}, fonts};
    return d;
}

} // namespace

Setup::Setup(Clock& clock, MessageBoxes& boxes, Random& random)
    : m_runtime(clock, boxes, random, data()),
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
