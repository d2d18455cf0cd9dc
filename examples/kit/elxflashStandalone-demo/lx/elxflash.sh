#!/bin/sh
# A stand-in for the vendor's flash tool, for the demo package only: it lists two adapters and
# flashes nothing. A real update package carries the vendor's own kit in its place.
if [ "$*" = "/q /fc" ]; then
  echo "HBA=LPe12002-M8, PCI ID=F100, VID=10DF, SSID=F100, SVID=10DF, Firmware=US2.01A12, Boot Code=UB5.12A2"
  echo "HBA=LPe16002-M6, PCI ID=E200, VID=10DF, SSID=E282, SVID=10DF, Firmware=11.1.183.58, Boot Code=UB11.1.183.58"
  exit 0
fi
echo "stand-in kit: nothing was flashed ($*)"
exit 1
