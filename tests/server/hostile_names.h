// Player names built to break out of HTML, shared by the page's tests.
#pragma once

#include <string>
#include <vector>

// First the six names add.php accepts, as typed; then names only someone
// writing straight into the database can store (add.php refuses ';', '<' and
// '>'). Each would change the page's title if any script of it ran.
inline const std::vector<std::string> hostileNames = {
    R"("quoted")",
    "it's",
    "Tom & Jerry",
    "&lt&gt",  // read as "<>" by HTML even without the ';' add.php refuses
    R"(back\slash)",
    "%3Cscript%3E",
    "&lt;b&gt;",
    "<script>document.title='pwned'</script>",
    "<img src=x onerror=\"document.title='pwned'\">",
    R"("><svg onload=document.title='pwned'>)",
    "'><svg onload=document.title='pwned'>",
    "</bdi></a></th><script>document.title='pwned'</script>",
};
