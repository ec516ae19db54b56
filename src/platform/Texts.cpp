#include "platform/Texts.h"

namespace movarel {

ShownTexts& Texts() {
    static ShownTexts texts;
    return texts;
}

void SetDefaultTexts() {
    ShownTexts& t = Texts();
    static_cast<MessageTexts&>(t) = MessageTexts();
    t.Captions = CaptionTexts();
}

}  // namespace movarel
