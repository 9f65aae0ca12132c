// qplantuser.dll: imports qplant.dll by name, to show where the loader looks
// for the dependencies of a library loaded by full path.
extern "C" __declspec(dllimport) int quillon_plant_marker() noexcept;

extern "C" __declspec(dllexport) int quillon_plant_user() noexcept
{
    return quillon_plant_marker();
}
