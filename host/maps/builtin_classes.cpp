// The list of built-in classes and their registration in the class directory.
#include "maps/builtin_classes.h"

#include "sdk/class_directory.h"
#include "maps/grey_maps.h"
#include "maps/standard_texture_output.h"

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
