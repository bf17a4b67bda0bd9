// The flight data model: carriers, their connections, the flights on them,
// customers and their bookings. Seats taken and payment sums of the flights
// follow from the bookings, as they would in a live system.
#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "demo_data.h"
#include "demo_random.h"
#include "table_spec.h"

namespace r3sim {

namespace {

const TableSpec kScarr{"SCARR", "TRANSP", "Airline", {
    {"MANDT", 'C', 3, 0, true, "Client"},
    {"CARRID", 'C', 3, 0, true, "Airline code"},
    {"CARRNAME", 'C', 20, 0, false, "Airline name"},
    {"CURRCODE", 'C', 5, 0, false, "Local currency of airline"},
    {"URL", 'C', 255, 0, false, "Airline URL"}}};

const TableSpec kSpfli{"SPFLI", "TRANSP", "Flight schedule", {
    {"MANDT", 'C', 3, 0, true, "Client"},
    {"CARRID", 'C', 3, 0, true, "Airline code"},
    {"CONNID", 'N', 4, 0, true, "Flight connection number"},
    {"COUNTRYFR", 'C', 3, 0, false, "Country of departure"},
    {"CITYFROM", 'C', 20, 0, false, "Departure city"},
    {"AIRPFROM", 'C', 3, 0, false, "Departure airport"},
    {"COUNTRYTO", 'C', 3, 0, false, "Arrival country"},
    {"CITYTO", 'C', 20, 0, false, "Arrival city"},
    {"AIRPTO", 'C', 3, 0, false, "Destination airport"},
    {"FLTIME", 'I', 4, 0, false, "Flight time in minutes"},
    {"DEPTIME", 'T', 6, 0, false, "Departure time"},
    {"ARRTIME", 'T', 6, 0, false, "Arrival time"},
    {"DISTANCE", 'P', 5, 4, false, "Distance"},
    {"DISTID", 'C', 3, 0, false, "Mass unit of distance"},
    {"FLTYPE", 'C', 1, 0, false, "Charter flag"},
    {"PERIOD", 'b', 1, 0, false, "Arrival n days later"}}};

const TableSpec kSflight{"SFLIGHT", "TRANSP", "Flight", {
    {"MANDT", 'C', 3, 0, true, "Client"},
    {"CARRID", 'C', 3, 0, true, "Airline code"},
    {"CONNID", 'N', 4, 0, true, "Flight connection number"},
    {"FLDATE", 'D', 8, 0, true, "Flight date"},
    {"PRICE", 'P', 8, 2, false, "Airfare"},
    {"CURRENCY", 'C', 5, 0, false, "Local currency of airline"},
    {"PLANETYPE", 'C', 10, 0, false, "Aircraft type"},
    {"SEATSMAX", 'I', 4, 0, false, "Maximum capacity in economy class"},
    {"SEATSOCC", 'I', 4, 0, false, "Occupied seats in economy class"},
    {"PAYMENTSUM", 'P', 9, 2, false, "Total of current bookings"},
    {"SEATSMAX_B", 'I', 4, 0, false, "Maximum capacity in business class"},
    {"SEATSOCC_B", 'I', 4, 0, false, "Occupied seats in business class"},
    {"SEATSMAX_F", 'I', 4, 0, false, "Maximum capacity in first class"},
    {"SEATSOCC_F", 'I', 4, 0, false, "Occupied seats in first class"}}};

const TableSpec kScustom{"SCUSTOM", "TRANSP", "Flight customers", {
    {"MANDT", 'C', 3, 0, true, "Client"},
    {"ID", 'N', 8, 0, true, "Customer number"},
    {"NAME", 'C', 25, 0, false, "Customer name"},
    {"FORM", 'C', 15, 0, false, "Form of address"},
    {"STREET", 'C', 30, 0, false, "Street"},
    {"POSTCODE", 'C', 10, 0, false, "Postal code"},
    {"CITY", 'C', 25, 0, false, "City"},
    {"COUNTRY", 'C', 3, 0, false, "Country"},
    {"TELEPHONE", 'C', 30, 0, false, "Telephone number"},
    {"CUSTTYPE", 'C', 1, 0, false, "Customer type: B business, P private"},
    {"DISCOUNT", 'N', 3, 0, false, "Discount rate"},
    {"LANGU", 'C', 1, 0, false, "Language"},
    {"EMAIL", 'C', 40, 0, false, "E-mail address"}}};

const TableSpec kSbook{"SBOOK", "TRANSP", "Single flight booking", {
    {"MANDT", 'C', 3, 0, true, "Client"},
    {"CARRID", 'C', 3, 0, true, "Airline code"},
    {"CONNID", 'N', 4, 0, true, "Flight connection number"},
    {"FLDATE", 'D', 8, 0, true, "Flight date"},
    {"BOOKID", 'N', 8, 0, true, "Booking number"},
    {"CUSTOMID", 'N', 8, 0, false, "Customer number"},
    {"CUSTTYPE", 'C', 1, 0, false, "Customer type"},
    {"SMOKER", 'C', 1, 0, false, "Smoker"},
    {"LUGGWEIGHT", 'P', 5, 4, false, "Weight of luggage"},
    {"WUNIT", 'C', 3, 0, false, "Weight unit"},
    {"INVOICE", 'C', 1, 0, false, "Invoice flag"},
    {"CLASS", 'C', 1, 0, false, "Flight class"},
    {"FORCURAM", 'P', 8, 2, false, "Price in foreign currency"},
    {"FORCURKEY", 'C', 5, 0, false, "Payment currency"},
    {"LOCCURAM", 'P', 8, 2, false, "Price in local currency"},
    {"LOCCURKEY", 'C', 5, 0, false, "Local currency of airline"},
    {"ORDER_DATE", 'D', 8, 0, false, "Booking date"},
    {"COUNTER", 'N', 8, 0, false, "Sales office"},
    {"AGENCYNUM", 'N', 8, 0, false, "Travel agency number"},
    {"CANCELLED", 'C', 1, 0, false, "Cancellation flag"},
    {"RESERVED", 'C', 1, 0, false, "Reservation flag"},
    {"PASSNAME", 'C', 25, 0, false, "Name of the passenger"}}};

struct City { const char *name, *country, *airport; double lat, lon; };
const City kCities[] = {
    {"FRANKFURT", "DE", "FRA", 50.0, 8.6},   {"BERLIN", "DE", "BER", 52.4, 13.5},
    {"NEW YORK", "US", "JFK", 40.6, -73.8},  {"SAN FRANCISCO", "US", "SFO", 37.6, -122.4},
    {"CHICAGO", "US", "ORD", 42.0, -87.9},   {"TOKYO", "JP", "NRT", 35.8, 140.4},
    {"SINGAPORE", "SG", "SIN", 1.4, 104.0},  {"ROME", "IT", "FCO", 41.8, 12.2},
    {"SYDNEY", "AU", "SYD", -33.9, 151.2},   {"SAO PAULO", "BR", "GRU", -23.4, -46.5},
    {"JOHANNESBURG", "ZA", "JNB", -26.1, 28.2}, {"MADRID", "ES", "MAD", 40.5, -3.6},
    {"TORONTO", "CA", "YYZ", 43.7, -79.6},   {"DUBAI", "AE", "DXB", 25.3, 55.4}};

struct Carrier { const char *id, *name, *currency; };
// Invented airlines.
const Carrier kCarriers[] = {
    {"QA", "Quorra Air", "EUR"},     {"NW", "Northwind Lines", "USD"},
    {"BF", "Bluefin Airways", "USD"}, {"KA", "Kestrel Air", "EUR"},
    {"SO", "Solstice Aviation", "JPY"}, {"PA", "Pampas Aereo", "BRL"},
    {"AU", "Austral Skyways", "AUD"}, {"LS", "Lakeshore Air", "CAD"}};

const char *kPlanes[] = {"A319-100", "A321-200", "A330-300", "A340-600", "747-400",
                         "767-200", "777-200", "DC-10-10"};
const int kPlaneSeats[] = {120, 185, 320, 380, 385, 260, 400, 380};

const char *kFirst[] = {"Anna", "Ben", "Carla", "David", "Elena", "Frank", "Greta", "Hugo",
                        "Ines", "Jonas", "Karin", "Lukas", "Maria", "Nils", "Olga", "Paul"};
const char *kLast[] = {"Adler", "Becker", "Costa", "Dubois", "Eriksen", "Fischer", "Garcia",
                       "Hansen", "Ito", "Jensen", "Kowalski", "Lopez", "Moreau", "Novak",
                       "Okafor", "Petrov", "Quinn", "Rossi", "Schmidt", "Tanaka"};
const char *kStreets[] = {"Main Street", "Lindenallee", "Harbour Road", "Via Roma",
                          "Rue Haute", "Parkweg", "Station Road", "Calle Mayor"};

double distance_km(const City &a, const City &b) {
  // Flat approximation: believable numbers, no trigonometry tables needed.
  double dlat = (a.lat - b.lat) * 111.0, dlon = (a.lon - b.lon) * 85.0;
  double d = dlat * dlat + dlon * dlon;
  double r = d > 0 ? d : 1;
  for (int i = 0; i < 30; ++i) r = 0.5 * (r + d / r);
  return r < 200 ? 200 : r;
}

struct Flight { std::string carrid, connid, fldate, currency, plane; int64_t day, price_cents; int seats[3]; int occ[3]; int64_t paid_cents; };

}  // namespace

void seed_flight_data(SqliteDb &db, const DemoSize &size) {
  DemoRandom rnd(4711);
  for (const auto *t : {&kScarr, &kSpfli, &kSflight, &kScustom, &kSbook}) define_table(db, *t);
  const Value mandt = Value::text("800");

  TableWriter scarr(db, kScarr);
  for (const auto &c : kCarriers)
    scarr.insert({mandt, Value::text(c.id), Value::text(c.name), Value::text(c.currency),
                  Value::text(std::string("http://www.") + c.id + "-air.example")});

  // Connections: each carrier flies a few city pairs, there and back.
  TableWriter spfli(db, kSpfli);
  std::vector<Flight> flights;
  const int64_t first_day = date_days(2026, 1, 5);
  for (const auto &c : kCarriers) {
    int pairs = static_cast<int>(rnd.range(2, 4));
    for (int p = 0; p < pairs; ++p) {
      const City &a = rnd.pick(kCities);
      const City *b = &rnd.pick(kCities);
      while (b == &a) b = &rnd.pick(kCities);
      double km = distance_km(a, *b);
      int minutes = static_cast<int>(km / 13.5) + 30;
      int base = static_cast<int>(rnd.range(1, 899)) * 10;
      for (int dir = 0; dir < 2; ++dir) {
        const City &from = dir ? *b : a, &to = dir ? a : *b;
        char connid[16];
        std::snprintf(connid, sizeof connid, "%04d", base + dir);
        int dep = static_cast<int>(rnd.range(6 * 60, 22 * 60)) / 5 * 5;
        int arr_abs = dep + minutes;
        char dept[16], arrt[16];
        std::snprintf(dept, sizeof dept, "%02d%02d00", dep / 60, dep % 60);
        std::snprintf(arrt, sizeof arrt, "%02d%02d00", arr_abs / 60 % 24, arr_abs % 60);
        spfli.insert({mandt, Value::text(c.id), Value::text(connid), Value::text(from.country),
                      Value::text(from.name), Value::text(from.airport), Value::text(to.country),
                      Value::text(to.name), Value::text(to.airport), Value::integer(minutes),
                      Value::text(dept), Value::text(arrt),
                      Value::text(std::to_string(static_cast<int64_t>(km)) + ".0000"),
                      Value::text("KM"), Value::text(""), Value::integer(arr_abs / (24 * 60))});
        // Flights every week for a year.
        int plane = static_cast<int>(rnd.range(0, 7));
        int64_t price = static_cast<int64_t>(km * 12) + rnd.range(0, 9999);
        for (int week = 0; week < 52; ++week) {
          int64_t day = first_day + week * 7 + dir;
          Flight f{c.id, connid, date_text(day), c.currency, kPlanes[plane], day, price,
                   {kPlaneSeats[plane], kPlaneSeats[plane] / 10, kPlaneSeats[plane] / 30},
                   {0, 0, 0}, 0};
          flights.push_back(f);
        }
      }
    }
  }

  TableWriter scustom(db, kScustom);
  struct Customer { std::string name, type; };
  std::vector<Customer> customers;
  for (int64_t id = 1; id <= size.customers; ++id) {
    const City &city = rnd.pick(kCities);
    std::string first = rnd.pick(kFirst), last = rnd.pick(kLast);
    bool business = rnd.range(0, 3) == 0;
    char idtext[24], tel[48], post[24];
    std::snprintf(idtext, sizeof idtext, "%08lld", static_cast<long long>(id));
    std::snprintf(tel, sizeof tel, "+%02d %03d %07d", static_cast<int>(rnd.range(1, 99)),
                  static_cast<int>(rnd.range(100, 999)), static_cast<int>(rnd.range(0, 9999999)));
    std::snprintf(post, sizeof post, "%05d", static_cast<int>(rnd.range(1000, 99999)));
    std::string name = business ? last + " " + rnd.pick(kLast) + " Ltd" : first + " " + last;
    customers.push_back({name, business ? "B" : "P"});
    scustom.insert({mandt, Value::text(idtext), Value::text(name),
                    Value::text(business ? "Company" : (rnd.range(0, 1) ? "Mr." : "Ms.")),
                    Value::text(std::to_string(rnd.range(1, 120)) + " " + rnd.pick(kStreets)),
                    Value::text(post), Value::text(city.name), Value::text(city.country),
                    Value::text(tel), Value::text(business ? "B" : "P"),
                    Value::text(business ? "010" : "000"), Value::text("E"),
                    Value::text(first + "." + last + "@mail.example")});
  }

  TableWriter sbook(db, kSbook);
  const char *classes = "YCF";
  for (int64_t n = 1; n <= size.bookings && !flights.empty(); ++n) {
    Flight &f = flights[rnd.next() % flights.size()];
    int cls = rnd.range(0, 9) < 8 ? 0 : (rnd.range(0, 2) ? 1 : 2);
    f.occ[cls]++;
    int64_t cust = rnd.range(1, size.customers);
    int64_t amount = f.price_cents * (cls == 0 ? 1 : cls == 1 ? 2 : 4);
    f.paid_cents += amount;
    char bookid[24], custid[24], counter[24], agency[24];
    std::snprintf(bookid, sizeof bookid, "%08lld", static_cast<long long>(n));
    std::snprintf(custid, sizeof custid, "%08lld", static_cast<long long>(cust));
    std::snprintf(counter, sizeof counter, "%08d", static_cast<int>(rnd.range(1, 40)));
    std::snprintf(agency, sizeof agency, "%08d", static_cast<int>(rnd.range(100, 400)));
    const Customer &c = customers[static_cast<size_t>(cust - 1)];
    int64_t luggage = rnd.range(0, 300) * 1000;  // tenths of a gram
    sbook.insert({mandt, Value::text(f.carrid), Value::text(f.connid), Value::text(f.fldate),
                  Value::text(bookid), Value::text(custid), Value::text(c.type),
                  Value::text(rnd.range(0, 9) == 0 ? "X" : ""),
                  Value::real(static_cast<double>(luggage) / 10000.0), Value::text("KG"),
                  Value::text(c.type == "B" ? "X" : ""), Value::text(std::string(1, classes[cls])),
                  Value::real(static_cast<double>(amount) / 100.0), Value::text(f.currency),
                  Value::real(static_cast<double>(amount) / 100.0), Value::text(f.currency),
                  Value::text(date_text(f.day - rnd.range(1, 120))),
                  Value::text(counter), Value::text(agency),
                  Value::text(rnd.range(0, 49) == 0 ? "X" : ""), Value::text(""),
                  Value::text(c.name)});
  }

  TableWriter sflight(db, kSflight);
  for (const auto &f : flights)
    sflight.insert({mandt, Value::text(f.carrid), Value::text(f.connid), Value::text(f.fldate),
                    Value::real(static_cast<double>(f.price_cents) / 100.0),
                    Value::text(f.currency), Value::text(f.plane), Value::integer(f.seats[0]),
                    Value::integer(f.occ[0]), Value::real(static_cast<double>(f.paid_cents) / 100.0),
                    Value::integer(f.seats[1]), Value::integer(f.occ[1]),
                    Value::integer(f.seats[2]), Value::integer(f.occ[2])});
}

}  // namespace r3sim
