// artgen: draws the nine PNG images of the music disk into a folder, and the
// layout header of words.png.
//   artgen OUTPUT_FOLDER [WORDS_HEADER]
#include <cstdio>
#include <string>

#include "FontStrip.h"
#include "Skin.h"

int main(int argc, char** argv)
{
    if (argc != 2 && argc != 3)
    {
        std::fprintf(stderr, "usage: artgen OUTPUT_FOLDER [WORDS_HEADER]\n");
        return 2;
    }
    std::string folder = argv[1];
    CImage font = BuildFontStrip();
    std::string problem = CheckFontStrip(font);
    if (!problem.empty())
    {
        std::fprintf(stderr, "artgen: font strip: %s\n", problem.c_str());
        return 1;
    }
    struct SOutput
    {
        const char* m_Name;
        CImage m_Image;
        bool m_Alpha;
    } outputs[] = {
        {"overlay.png", BuildOverlay(), true},
        {"interface.png", BuildInterface(), true},
        {"equaliser.png", BuildEqualiser(), true},
        {"font.png", font, true},
        {"vol_strip.png", BuildVolumeStrip(), true},
        {"vol_end.png", BuildVolumeEnd(), true},
        {"loading.png", BuildLoading(), true},
        {"pause.png", BuildPauseIcon(), false},
        {"words.png", BuildWords(), true},
    };
    for (const SOutput& o : outputs)
    {
        std::string path = folder + "/" + o.m_Name;
        if (!WritePng(path, o.m_Image, o.m_Alpha))
        {
            std::fprintf(stderr, "artgen: cannot write %s\n", path.c_str());
            return 1;
        }
    }
    if (argc == 3 && !WriteWordsLayout(argv[2]))
    {
        std::fprintf(stderr, "artgen: cannot write %s\n", argv[2]);
        return 1;
    }
    return 0;
}
