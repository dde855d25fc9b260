// The proxy's own wglGetProcAddress and DrvGetProcAddress. Both answer from one table of the
// proxy's special entry points, so that looking one of them up yields the proxy's function and
// not the underlying driver's; any other name goes to the underlying function of the same name.
#include "entry_table.h"
#include "proc_lookup.h"

// Assembler names keep the exports undecorated and apart from the platform header's
// declarations of the same functions.
#define QELT_STRING_(x) #x
#define QELT_STRING(x) QELT_STRING_(x)
#define QELT_ASM_NAME(name) __asm__(QELT_STRING(__USER_LABEL_PREFIX__) #name)

extern "C" {
void* QELT_GLAPI qelt_wgl_get_proc_address(const char* name) QELT_ASM_NAME(wglGetProcAddress);
void* QELT_GLAPI qelt_drv_get_proc_address(const char* name) QELT_ASM_NAME(DrvGetProcAddress);
// The forwarding stub that passes DrvSetContext's three arguments on untouched.
void qelt_drv_set_context() QELT_ASM_NAME(DrvSetContext);
}

namespace {

const qelt::OwnProcedure kOwnProcedures[] = {
    {"DrvGetProcAddress", reinterpret_cast<void*>(&qelt_drv_get_proc_address)},
    {"DrvSetContext", reinterpret_cast<void*>(&qelt_drv_set_context)},
    {"wglGetProcAddress", reinterpret_cast<void*>(&qelt_wgl_get_proc_address)},
    {nullptr, nullptr},
};

qelt::GetProcAddressFunction underlying(unsigned slot) {
  return reinterpret_cast<qelt::GetProcAddressFunction>(qelt_entry_table[slot]);
}

}  // namespace

void* QELT_GLAPI qelt_wgl_get_proc_address(const char* name) {
  return qelt::look_up_procedure(kOwnProcedures, name, underlying(qelt::slot::wglGetProcAddress));
}

void* QELT_GLAPI qelt_drv_get_proc_address(const char* name) {
  return qelt::look_up_procedure(kOwnProcedures, name, underlying(qelt::slot::DrvGetProcAddress));
}
