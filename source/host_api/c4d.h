// The host's programming interface as the module's code sees it.
#pragma once

#include "c4d_atomarray.h"
#include "c4d_basebitmap.h"
#include "c4d_basecontainer.h"
#include "c4d_basedocument.h"
#include "c4d_baseobject.h"
#include "c4d_commanddata.h"
#include "c4d_console.h"
#include "c4d_description.h"
#include "c4d_filename.h"
#include "c4d_gedata.h"
#include "c4d_gedialog.h"
#include "c4d_general.h"
#include "c4d_nodedata.h"
#include "c4d_shortcuts.h"
#include "c4d_string.h"
#include "c4d_types.h"
