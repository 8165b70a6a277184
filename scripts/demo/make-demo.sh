#!/usr/bin/env bash
# Makes a demo Velmaris installation inside a Wine prefix: the
# product tree under C:\Velmaris with its configuration, acquisition, fraction
# and inlet log files, the Halvorstrand, Barcodes, Plates and Racks folders, a
# Default.pro project with fraction files and a raw-data run, the machine
# registry branches that Gleanwell exports, and the per-user settings that
# point Gleanwell at it. Needs the prefix's wineserver running (and DISPLAY).
# Usage: scripts/demo/make-demo.sh DIR   (the prefix is DIR/wineprefix)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
. "$here/../wine-env.sh" "$1"

product="$WINEPREFIX/drive_c/Velmaris"
project="$product/Default.pro"
mkdir -p "$product"/{InletLogs,Halvorstrand/Methods,Barcodes,Plates,Racks} \
         "$project/Data/Run001" "$project/Data/Run002"

crlf() { sed 's/$/\r/'; }

crlf > "$product/Velmaris.ini" <<'INI'
[Velmaris]
Version=7.4.2
Instrument=VLM-2200
SerialNumber=VX22-04817
Project=C:\Velmaris\Default.pro
[Communication]
Port=COM3
BaudRate=115200
Timeout=2500
INI
crlf > "$product/Instrument.ini" <<'INI'
[Pump]
Model=QP-40
MaxPressure=400
FlowUnits=ml/min
[Detector]
Model=UV-2
Wavelengths=214,254,280
LampHours=1834
INI
crlf > "$product/setup.ini" <<'INI'
[Setup]
InstalledBy=service
InstallDate=2026-03-14
INI
crlf > "$product/SampleListInterface.txt" <<'TXT'
Position	Sample	Method	Volume
1	Blank	Wash.acq	0
2	Standard A	Gradient30.acq	50
3	Batch 7 / 01	Gradient30.acq	100
4	Batch 7 / 02	Gradient30.acq	100
TXT
for method in Gradient30 Wash Isocratic; do
  {
    echo "[Method]"; echo "Name=$method"; echo "Steps=24"
    for s in $(seq 1 24); do echo "Step$s=t=$((s * 150)) B=$((s * 4))% flow=1.0"; done
  } | crlf > "$product/$method.acq"
done
{
  echo "[Collector]"; echo "Racks=2"; echo "TubeVolume=15"
  for t in $(seq 1 80); do echo "Tube$t=rack$(((t - 1) / 40 + 1)) pos$(((t - 1) % 40 + 1))"; done
} | crlf > "$product/Collector.hv4"

for day in 01 02 03; do
  for i in $(seq 0 400); do
    printf '2026-12-%s %02d:%02d:%02d INLET valve=%d pressure=%d.%d bar status=OK\n' \
      "$day" $((i / 60 % 24)) $((i % 60)) $((i * 7 % 60)) $((i % 6 + 1)) $((i % 90 + 80)) $((i % 10))
  done | crlf > "$product/InletLogs/Inlet_2026-12-$day.log"
done

crlf > "$product/Halvorstrand/Halvorstrand.cfg" <<'CFG'
[Halvorstrand]
Version=3.1
Mode=Peak
Threshold=12.5
CFG
crlf > "$product/Halvorstrand/Methods/PeakCollect.hvm" <<'CFG'
Trigger=Slope
Slope=2.0
MaxTubeVolume=12
CFG
crlf > "$product/Barcodes/barcodes.csv" <<'CSV'
Rack,Position,Barcode
1,1,GW0000117
1,2,GW0000118
2,1,GW0000231
CSV
crlf > "$product/Plates/Plate96.def" <<'DEF'
Rows=8
Columns=12
WellVolume=2.0
DEF
crlf > "$product/Racks/Rack40.def" <<'DEF'
Positions=40
TubeVolume=15
DEF

crlf > "$project/Project.ini" <<'INI'
[Project]
Name=Default
Created=2026-01-09
INI
cp "$product/Gradient30.acq" "$project/Run001.acq"
for run in 001 002; do
  {
    echo "[Fractions]"; echo "Run=$run"
    for f in $(seq 1 30); do echo "F$f=tube $f start=$((f * 20))s end=$((f * 20 + 18))s"; done
  } | crlf > "$project/Run$run.frc"
done
for run in Run001 Run002; do
  python3 -c "
import math, sys
for i in range(6000):
    t = i / 10.0
    v = 5 + 800 * math.exp(-((t - 180) / 9) ** 2) + 350 * math.exp(-((t - 320) / 14) ** 2)
    sys.stdout.write('%.1f\t%.3f\r\n' % (t, v))
" > "$project/Data/$run/chromatogram.txt"
done

# The machine branches that the archive run exports, with a value of every
# kind the product writes (a string with quotes and backslashes, an
# expandable string, a multi-string, a DWORD, a QWORD, a binary value long
# enough to wrap in the export), and the settings that point Gleanwell at this
# installation. Written in the registry editor's own format: UTF-16LE with its
# byte-order mark.
reg="$WINEPREFIX/drive_c/gleanwell-demo.reg"
{
  printf '\xff\xfe'
  crlf <<'REG' | iconv -f UTF-8 -t UTF-16LE
Windows Registry Editor Version 5.00

[HKEY_LOCAL_MACHINE\SOFTWARE\Zentaveld]

[HKEY_LOCAL_MACHINE\SOFTWARE\Zentaveld\Velmaris]
"Version"="7.4.2"
"InstallDir"="C:\\Velmaris"
"Instrument"="VLM-2200"
"Banner"="say \"ready\" from C:\\Velmaris\\"
"MethodPath"=hex(2):25,00,50,00,72,00,6f,00,67,00,72,00,61,00,6d,00,46,00,69,\
  00,6c,00,65,00,73,00,25,00,5c,00,56,00,65,00,6c,00,6d,00,61,00,72,00,69,00,\
  73,00,5c,00,4d,00,65,00,74,00,68,00,6f,00,64,00,73,00,00,00
"Methods"=hex(7):47,00,72,00,61,00,64,00,69,00,65,00,6e,00,74,00,33,00,30,00,\
  00,00,57,00,61,00,73,00,68,00,00,00,49,00,73,00,6f,00,63,00,72,00,61,00,74,\
  00,69,00,63,00,00,00,00,00
"Runs"=hex(b):14,1a,99,be,1c,00,00,00
"Calibration"=hex:05,2a,4f,74,99,be,e3,08,2d,52,77,9c,c1,e6,0b,30,55,7a,9f,c4,\
  e9,0e,33,58,7d,a2,c7,ec,11,36,5b,80,a5,ca,ef,14,39,5e,83,a8,cd,f2,17,3c,61,\
  86,ab,d0,f5,1a,3f,64,89,ae,d3,f8,1d,42,67,8c,b1,d6,fb,20,45,6a,8f,b4,d9,fe,\
  23,48,6d,92,b7,dc,01,26,4b,70,95,ba,df,04,29,4e,73,98,bd,e2,07,2c,51,76,9b,\
  c0,e5,0a,2f,54,79,9e,c3,e8,0d,32,57,7c,a1,c6,eb,10,35,5a,7f,a4,c9,ee,13,38

[HKEY_LOCAL_MACHINE\SOFTWARE\Zentaveld\Velmaris\Detector]
"Model"="UV-2"
"LampHours"=dword:0000072a

[HKEY_LOCAL_MACHINE\SOFTWARE\Ostrel]

[HKEY_LOCAL_MACHINE\SOFTWARE\Ostrel\Halvorstrand]
"Version"="3.1"
"Collector"="FC-80"

[HKEY_CURRENT_USER\SOFTWARE\ZentaVeld\Velmaris]
"Directory"="C:\\Velmaris"
"Project"="C:\\Velmaris\\Default.pro"
REG
} > "$reg"
wine regedit /s 'C:\gleanwell-demo.reg' >/dev/null 2>&1 </dev/null
rm -f "$reg"
echo "demo: made a demo installation in C:\\Velmaris (Wine prefix $WINEPREFIX)"
