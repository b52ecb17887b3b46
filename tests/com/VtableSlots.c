/* Compile-time check that every host operation sits at its vtable position
 * (counted after the seven IUnknown and IDispatch slots) and that the records
 * exchanged with the host have their fixed layout. */
#include <stddef.h>
#include <windows.h>
#include <msxml2.h>

#include "V3Host.h"

#define SLOT(itf, method, position) \
    _Static_assert(offsetof(itf##Vtbl, method) == (7 + (position)) * sizeof(void*), #itf "." #method)

SLOT(IV3TargetRun, GetModels, 0);
SLOT(IV3TargetRun, GetSettings, 22);
SLOT(IV3TargetRun, SetKey, 25);
SLOT(IV3TargetRun, SetAuthor, 27);
SLOT(IV3TargetRun, SetComments, 29);
SLOT(IV3TargetRun, SetFunctionSet, 41);
SLOT(IV3TargetRun, PrepareDataSet, 44);
SLOT(IV3TargetRun, GetDataSet, 45);
SLOT(IV3RunSettings, PutValue, 3);
SLOT(IV3RunSettings, PutKeyedValue, 19);
SLOT(IV3RunSettings, CheckKey, 24);
SLOT(IV3DataSet, LoadFromFile, 8);
SLOT(IV3DataSet, SeparatorText, 15);
SLOT(IV3ModelList, SelectModel, 9);
SLOT(IV3ModelList, AddModel, 11);
SLOT(IV3CatalogueSource, Open, 0);
SLOT(IV3CatalogueSource, GetSection, 2);
SLOT(IV3FunctionSet, Initialise, 24);
SLOT(IV3FunctionSet, Contains, 27);
SLOT(IV3FunctionSet, GetEntry, 33);
SLOT(IV3FunctionSet, AddEntry, 38);
SLOT(IV3FunctionSet, UpdateEntry, 39);
SLOT(IV3TempFileWriter, WriteTempFile, 6);
SLOT(IV3Model, GetNumber, 3);
SLOT(IV3Model, SetFlagB, 4);
SLOT(IV3Model, SetFlagA, 6);
SLOT(IV3Model, SetTrainBestFitness, 8);
SLOT(IV3Model, SetTestBestFitness, 10);
SLOT(IV3Model, SetTrainMaxFitness, 12);
SLOT(IV3Model, SetTestMaxFitness, 14);
SLOT(IV3Model, SetTrainRSquare, 16);
SLOT(IV3Model, SetTestRSquare, 18);
SLOT(IV3Model, AttachRun, 33);
SLOT(IV3Model, SetProgram, 38);

_Static_assert(offsetof(V3SettingValue, typeCode) == sizeof(VARIANT), "value, then type code");
_Static_assert(offsetof(V3KeyPair, name) == sizeof(BSTR), "section, then name");
_Static_assert(offsetof(V3FunctionEntry, selected) == 16 && offsetof(V3FunctionEntry, reserved2) == 18,
               "four 32-bit fields, then two 16-bit ones");
_Static_assert(offsetof(V3FunctionEntry, attr0) == 24 && offsetof(V3FunctionEntry, spare) == 24 + 4 * sizeof(BSTR),
               "then five texts");
