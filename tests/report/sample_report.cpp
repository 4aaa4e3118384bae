// The sample record of the format tests.
#include "sample_report.h"

namespace tvde::testing {

ReportData SampleReport() {
  ReportData r;
  r.certificateId = L"TVDE-20260105-143012-9A0B1C2D";
  r.startTime = L"2026-01-05 14:30:12";
  r.endTime = L"2026-01-05 16:05:47";
  r.elapsedSeconds = 5735.256;
  r.isWinPE = 1;
  r.config.disk.diskNumber = 1;
  r.config.disk.model = L"Samsung SSD 870 EVO 1TB";
  r.config.disk.serialNumber = L"S6PTNM0T402917K";
  r.config.disk.sizeBytes = 1000204886016ULL;
  r.config.disk.bytesPerSector = 512;
  r.config.disk.mediaType = MediaKind::Ssd;
  r.config.disk.busType = BusKind::Sata;
  r.config.disk.safetyStatus = SafetyStatus::Erasable;
  r.config.standard = EraseStandard::Dod522022M;
  r.config.verifyMode = VerifyMode::Full;
  r.config.executionMode = ExecutionMode::RealWrite;
  r.config.operatorName = L"山田 太郎";
  r.config.organizationName = L"東京リサイクルセンター";
  r.config.notes = L"リース返却PC 3台目 (棚番号 B-12)";
  r.statusCode = 3;
  r.passesCompleted = 3;
  r.passesPlanned = 3;
  r.bytesWritten = 3000614658048ULL;
  r.verificationResult = L"PASSED (256/256 サンプル一致)";
  r.verificationScope =
      L"full surface, 1,953,525,168 sectors, compared with pass 3 (random stream) and the "
      L"partition-table areas with 0x00";
  r.diskStampStatus = L"BIOS/UEFI ブータブルスタンプ記録済";
  r.sha256Fingerprint = L"8F14E45FCEEA167A5A36DEDD4BEA2543B3C8A0F6D1E2C7B9A4F3E2D1C0B9A877";
  HardwareProfile& hw = r.stamp.hardware;
  hw.manufacturer = L"LENOVO";
  hw.chassisType = L"Notebook";
  hw.model = L"20XW00BKJP";
  hw.serial = L"PF3ABCDE";
  hw.uuid = L"4C4C4544-0042-3510-8051-B7C04F4E3332";
  hw.assetTag = L"IT-2024-0815";
  hw.processor =
      L"11th Gen Intel(R) Core(TM) i5-1135G7 @ 2.40GHz, Current speed: 2419 MHz, Cores: 4 (8 "
      L"Threads)";
  hw.totalMemory = L"16151 MB, Populated banks: 2, Free memory banks: 0";
  hw.disk = L"931.51 GB SSD (SATA/SAS), Model: Samsung SSD 870 EVO 1TB, Serial: S6PTNM0T402917K";
  hw.diskGeometry = L"SATA 931.51 GB / 1953525168 Sector(s), Sector size: 512 B";
  hw.graphicsCard = L"Intel Corporation, Intel(R) Iris(R) Xe Graphics";
  hw.soundCards =
      L"Card 1: Realtek, Realtek High Definition Audio | Card 2: Intel(R) Display Audio";
  hw.networkAdapters = L"Adapter 1: Intel(R) Ethernet Connection (13) I219-V, 8c:8c:aa:12:34:56";
  hw.motherboard = L"LENOVO / 20XW00BKJP";
  hw.biosInformation = L"LENOVO, Version: N32ET86W (1.62 ), Date: 03/14/2024, ROM size: 16384 KB";
  hw.storageController =
      L"Intel Corporation, Intel RST VMD Controller / Standard NVM Express Controller";
  return r;
}

}  // namespace tvde::testing
