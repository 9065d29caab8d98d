# Builds kvt27-config.exe (the window) and kvt27ctl.exe on Windows with Qt's MinGW kit and packs
# them with the Qt libraries they need (windeployqt) into a zip. Not run on the Linux machines
# of this project: see README.md beside this file.
#
#   powershell -File packaging\windows\build.ps1 -QtDir C:\Qt\6.8.3\mingw_64 -MinGWDir C:\Qt\Tools\mingw1310_64
param(
    [Parameter(Mandatory = $true)][string]$QtDir,
    [Parameter(Mandatory = $true)][string]$MinGWDir,
    [string]$BuildDir = "build-windows-qt",
    [string]$OutDir = "dist"
)
$ErrorActionPreference = "Stop"
$root = Resolve-Path (Join-Path $PSScriptRoot "..\..")
Set-Location $root
$env:PATH = "$QtDir\bin;$MinGWDir\bin;$env:PATH"

# The tests need pseudo-terminals and the simulator: they are run on Linux (and under wine there).
cmake -S . -B $BuildDir -G Ninja -DCMAKE_BUILD_TYPE=Release -DKVT_BUILD_TESTS=OFF `
    -DCMAKE_PREFIX_PATH="$QtDir" -DCMAKE_C_COMPILER=gcc -DCMAKE_CXX_COMPILER=g++
if ($LASTEXITCODE -ne 0) { throw "cmake configure failed" }
cmake --build $BuildDir --target kvt27-config kvt27ctl
if ($LASTEXITCODE -ne 0) { throw "build failed" }

$version = (Select-String -Path CMakeLists.txt -Pattern 'project\(kvt27 VERSION ([0-9.]+)').Matches[0].Groups[1].Value
$stage = Join-Path $OutDir "kvt27-config-$version-windows-x64"
Remove-Item -Recurse -Force $stage -ErrorAction SilentlyContinue
New-Item -ItemType Directory -Force $stage | Out-Null
Copy-Item "$BuildDir\app\kvt27-config.exe" $stage
Copy-Item "$BuildDir\tools\ctl\kvt27ctl.exe" $stage
Copy-Item README.md $stage
# The Qt libraries and plugins, and the MinGW runtime that the Qt kit's compiler links against.
windeployqt --release --no-translations --compiler-runtime "$stage\kvt27-config.exe"
if ($LASTEXITCODE -ne 0) { throw "windeployqt failed" }

$zip = "$stage.zip"
Remove-Item -Force $zip -ErrorAction SilentlyContinue
Compress-Archive -Path "$stage\*" -DestinationPath $zip
Write-Host "Packed $zip"
