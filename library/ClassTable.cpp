#include "library/ClassTable.h"

#include "entry/Currency.h"
#include "entry/Hours.h"
#include "entry/TimeIn.h"
#include "entry/TimeOut.h"
#include "keypad/StampkindKeypad.h"
#include "setup/SetupPage.h"
#include "step/clsStep.h"

namespace stampkind {

namespace {

template <class T>
std::shared_ptr<platform::Object> CreateAs() {
    return T::Create();
}

}  // namespace

const std::vector<ComponentClass>& ClassTable() {
    static const std::vector<ComponentClass> kTable{
        {"clsStep", "{5A0F3C71-2D94-4B8E-A6C3-9E17D2B4F860}", false, false, &CreateAs<clsStep>},
        {"StampkindKeypad", "{E3EB0931-6C25-42FB-899B-6ADF7C656EBD}", true, true,
         &CreateAs<StampkindKeypad>},
        {"TimeIn", "{63D4E471-DBD2-4E46-9CC2-F43ED2EC6B9C}", true, false, &CreateAs<TimeIn>},
        {"TimeOut", "{C6B61CEF-7557-4044-BBEA-252618A71DAC}", true, false, &CreateAs<TimeOut>},
        {"Hours", "{6CF62C9F-49C3-41CC-8F59-CCD25C26CCCF}", true, false, &CreateAs<Hours>},
        {"Currency", "{BD556D0F-9F7F-4DED-8F6A-855FD4C19011}", true, false, &CreateAs<Currency>},
        {"SetupPage", "{C4E2A9D7-6B31-4F0E-9A58-2D7B1E93C6F4}", true, false, &CreateAs<SetupPage>},
    };
    return kTable;
}

}  // namespace stampkind
