// The shared routines of the library in one include: GUID texts, variant kinds and array copies,
// small text routines, the module's own path, CRC-32, and message pumping.
#pragma once

#include "infra/root/crc32.h"
#include "infra/root/guid_text.h"
#include "infra/root/module_path.h"
#include "infra/root/process_messages.h"
#include "infra/root/text_routines.h"
#include "infra/root/variant_kind.h"
