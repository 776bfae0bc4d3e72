// A host program outside the source tree: builds a scene through the installed
// headers and library alone and checks what it reads back — paths, keys,
// inheritance through styles and includes, transforms, levels of detail,
// search, user options, and misuse that must be reported without a crash.
#include "ketra.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>

namespace {

int g_failures = 0;
int g_errors = 0;

void Check(bool ok, const char* what) {
    if (!ok) {
        std::fprintf(stderr, "consumer: FAILED: %s\n", what);
        ++g_failures;
    }
}

void CountErrors(int, int, int, const char*, const char*) { ++g_errors; }

}  // namespace

int main() {
    HC_Define_Error_Handler(&CountErrors);

    // Paths and keys.
    const HC_KEY pipe = HC_Open_Segment("/Include Library/halden/Pipes/e1");
    HC_Set_User_Options("from=10, to=20");
    HC_Style_Segment("?Style Library/Pipes");
    const float points[] = {0, 0, 0, 1, 0, 0, 1, 1, 0, 0, 1, 0};
    const int faces[] = {4, 0, 1, 2, 3};
    const HC_KEY shell = HC_Insert_Shell(4, points, 5, faces);
    HC_Open_Geometry(shell);
    HC_Open_LOD(1);
    const int coarse[] = {2, 0, 2};
    const HC_KEY lod = HC_Insert_Shell(4, points, 3, coarse);
    HC_Close_LOD();
    HC_Close_Geometry();
    HC_Close_Segment();
    Check(pipe < -1 && shell < -1 && lod < -1, "keys are negative and never -1");
    Check(HC_Create_Segment("/include library/HALDEN/pipes/E1") == pipe, "names are case-insensitive");
    Check(HC_Show_Owner_By_Key(shell, nullptr) == pipe, "owner of the shell");
    int pcount = 0, flen = 0;
    HC_Show_Shell_Size(shell, &pcount, &flen);
    Check(pcount == 4 && flen == 5, "shell size");

    // Inheritance through a style.
    HC_Open_Segment("/style library/pipes");
    HC_Set_Color("faces=(diffuse=r=0.5 g=0.25 b=1,specular=white),lines=red");
    HC_Close_Segment();
    char value[512];
    HC_Open_Segment_By_Key(pipe);
    HC_Show_One_Net_Color("faces", value);
    Check(std::strcmp(value, "R=0.5 G=0.25 B=1") == 0, "net face colour from the style");
    HC_Show_One_User_Option("to", value);
    Check(std::strcmp(value, "20") == 0, "user option");
    HC_Close_Segment();

    // Inheritance through an include.
    HC_Open_Segment("/driver/null/view");
    HC_Set_Line_Weight(4);
    const HC_KEY view = HC_KShow_Open_Segment();
    const HC_KEY include = HC_Include_Segment("/include library");
    HC_Close_Segment();
    const HC_KEY path[] = {pipe, include, view};
    float weight = 0;
    HC_PShow_Net_Line_Weight(3, path, &weight);
    Check(weight == 4.0f, "net line weight through the include");

    // Transforms compose in call order.
    HC_Open_Segment("/placement");
    HC_Rotate_Object(0, 0, 90);
    HC_Translate_Object(10, 0, 0);
    float m[16], p[3] = {1, 0, 0};
    HC_Show_Net_Modelling_Matrix(m);
    HC_Close_Segment();
    HC_Compute_Transformed_Points(1, p, m, p);
    Check(std::fabs(p[0] - 10) < 1e-5 && std::fabs(p[1] - 1) < 1e-5, "rotate then translate");

    // Search.
    int shells = 0;
    HC_Begin_Contents_Search("/include library/...", "shells");
    char type[64];
    HC_KEY found;
    while (HC_Find_Contents(type, &found)) ++shells;
    HC_End_Contents_Search();
    Check(shells == 1, "one shell below the library (levels of detail are not listed)");

    // Misuse: reported, no effect, no crash.
    g_errors = 0;
    HC_Close_Segment();
    HC_Delete_By_Key(12345);
    HC_Show_Shell_Size(-999999, &pcount, &flen);
    const int badFaces[] = {3, 0, 1, 9};
    HC_Open_Segment("/bad");
    Check(HC_Insert_Shell(4, points, 4, badFaces) == -1, "face list past the points is refused");
    HC_Set_Color("faces=(diffuse=");
    HC_Open_LOD(1);
    HC_Close_Segment();
    Check(g_errors == 6, "every misuse reported once");
    Check(HC_QShow_Existence("/bad", "everything") == 0, "misuse changed nothing");

    HC_Delete_Segment("/include library");
    char keyType[64];
    HC_Show_Key_Type(shell, keyType);
    Check(std::strcmp(keyType, "invalid") == 0, "deleted keys are invalid");

    if (g_failures) return 1;
    std::printf("consumer: ok\n");
    return 0;
}
