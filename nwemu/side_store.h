// The store of metadata beside the volumes (metadata.h), for MakeMetadataStore.
#pragma once

#include <memory>

#include "nwemu/metadata.h"

namespace ferrit {
namespace nwemu {

std::unique_ptr<MetadataStore> MakeVolumeSideStore();

}  // namespace nwemu
}  // namespace ferrit
