/* Compiled as C11 with every warning: the table headers must stay valid C for modules in C. */
#include "vela_host/host_entry.h"
#include "vela_host/host_table.h"

int host_table_check_version(const HostTable* table);
int host_table_check_version(const HostTable* table) {
    return table != NULL && table->version >= HOST_INTERFACE_VERSION &&
           HOST_AREA_HAS(table->containers, HostContainerArea, set_object_link);
}
