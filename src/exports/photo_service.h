// What an exporter asks of the image side for each photo link: make sure the photo and
// its thumbnail are on the image server (Sync), or copy the photo under a vehicle-based
// name into the staging folder and check it against the server (Stage). The exporters
// get one with their ExportServices; the application gives the FTP one, tests give fakes.
#pragma once

#include <cstdint>
#include <string>

namespace kalvex {

class PhotoService {
 public:
  virtual ~PhotoService() = default;
  // photo_name is NomImage + ".jpg", relative to the photo folder.
  virtual void Sync(const std::string& photo_name) = 0;
  // Copies the photo to staging_folder + "\" + vehicle_id + "_" + index + ".jpg".
  virtual void Stage(const std::string& staging_folder, int32_t index,
                     const std::string& photo_name, const std::string& vehicle_id) = 0;
};

}  // namespace kalvex
