#include "standin/builtin_classes.h"

#include "standin/class_directory.h"
#include "standin/grey_maps.h"
#include "standin/standard_texture_output.h"

namespace standin {

std::vector<ClassDesc*> BuiltinClasses() {
    return {StandardTextureOutputDesc(), GreyGradientDesc(), GreyNoiseDesc(), GreyBitmapDesc(),
            GreyConstantDesc()};
}

void RegisterBuiltinClasses() {
    ClassDirectory& directory = ClassDirectory::Instance();
    for (ClassDesc* cd : BuiltinClasses()) directory.Register(cd, kBuiltinModuleName);
}

}  // namespace standin
